#include "symbolic/config.h"

namespace sym {

const std::string conf_append_index = "@";
const std::string conf_term_left_para = "(";
const std::string conf_term_right_para = ")";
const std::string conf_data_left_para = "[";
const std::string conf_data_separator = ":";
const std::string conf_data_right_para = "]";
const std::string conf_fact_left_para = "(";
const std::string conf_fact_right_para = ")";
const std::string conf_timestamp_mark = "#";
const std::string conf_parameter_mark = "$";
const std::string conf_configuration_mark = "|";
const std::string conf_seperator = ".";

}  // namespace sym
