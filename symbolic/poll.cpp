#include "symbolic/poll.h"

namespace sym {

Poll* current_poll = nullptr;

}  // namespace sym
