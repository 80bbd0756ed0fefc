// The path rule of the fuzz targets, written from how Windows resolves a path rather than from
// the product's own check, so that the two can disagree.
#include "FuzzChecks.h"

#include <vector>

namespace fuzz {

bool ResolvesToDots(WStringView component) {
    return !component.empty() && component.front() == u'.' &&
           component.find_first_not_of(u". ") == WStringView::npos;
}

bool PathStaysOnDrive(WStringView path) {
    if (path.size() < 2 || path[1] != u':') {
        return false;
    }
    std::vector<WStringView> components;
    std::size_t start = 2;
    for (;;) {
        const std::size_t end = path.find_first_of(u"\\/", start);
        components.push_back(path.substr(start, end - start));
        if (end == WStringView::npos) {
            break;
        }
        start = end + 1;
    }
    for (std::size_t i = 0; i < components.size(); ++i) {
        const bool bInner = i != 0 && i + 1 != components.size();
        if (ResolvesToDots(components[i]) || (bInner && components[i].empty())) {
            return false;
        }
    }
    return true;
}

}  // namespace fuzz
