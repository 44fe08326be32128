#include "common/config.h"

namespace common {

const std::string conf_contact = "Please report this failure to the vorn maintainers, thank you.";

}  // namespace common
