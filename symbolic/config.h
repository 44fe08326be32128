#pragma once

#include <string>

namespace sym {

// Printing constants shared by terms, facts, rules and substitution listings.
extern const std::string conf_append_index;
extern const std::string conf_term_left_para;
extern const std::string conf_term_right_para;
extern const std::string conf_data_left_para;
extern const std::string conf_data_separator;
extern const std::string conf_data_right_para;
extern const std::string conf_fact_left_para;
extern const std::string conf_fact_right_para;
extern const std::string conf_timestamp_mark;
extern const std::string conf_parameter_mark;
extern const std::string conf_configuration_mark;
extern const std::string conf_seperator;

const int conf_sign_none = -1;
const int conf_sign_value = -2;
const int conf_sign_time = -3;

}  // namespace sym
