#include "symbolic/validation_record.h"

namespace sym {

ValidationRecorder* current_validation_recorder = nullptr;

}  // namespace sym
