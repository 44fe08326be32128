#include "symbolic/namer.h"

namespace sym {

_Namer namer;

Name _Namer::generate(const Name::Type& type, const std::string& name) {
    Name result(type, name, _index);
    ++_index;
    return result;
}

Name _Namer::variable(const std::string& name) { return generate(Name::VARIABLE, name); }

Name _Namer::variable(const Name& like) { return Name(Name::VARIABLE, like, _index++); }

Name _Namer::constant(const std::string& name) {
    auto found = _constants.find(name);
    if (found != _constants.end()) return found->second;
    Name result = generate(Name::CONSTANT, name);
    _constants.emplace(name, result);
    return result;
}

}  // namespace sym
