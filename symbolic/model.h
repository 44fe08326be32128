#pragma once

#include <ostream>

namespace sym {

// Root of terms, facts and rules: everything that has a printed form.
class Model {
public:
    virtual ~Model() = default;
    virtual void info(std::ostream& os) const = 0;
};

}  // namespace sym
