#include "scan/ShellPath.h"

namespace tw {

namespace {

std::string_view withoutTrailingDotsAndBlanks(std::string_view name) {
    if (name == "." || name == "..") {
        return name;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.remove_suffix(1);
    }
    return name.empty() ? std::string_view(".") : name;
}

} // namespace

std::string shellPath(std::string_view target) {
    std::string result;
    result.reserve(target.size());
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = target.find_first_of("\\/", start);
        const std::string_view name =
            target.substr(start, end == std::string_view::npos ? end : end - start);
        // Empty names (a leading separator, a doubled one) are the path's own shape.
        result += name.empty() ? name : withoutTrailingDotsAndBlanks(name);
        if (end == std::string_view::npos) {
            return result;
        }
        result += '\\';
        start = end + 1;
    }
}

} // namespace tw
