// Names for the cases of a parameterised suite. Without them a case is known by the bytes
// of its value, heap pointers included, so its name changed from build to build.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

namespace mira::test {

// Words that describe a case as a test name: letters and digits kept, every other run of
// characters one "_", at most 40 characters, then the case's index, which keeps alike
// cases apart.
inline std::string caseName(std::string_view words, std::size_t index) {
    std::string name;
    for (const char ch : words) {
        if (name.size() >= 40) break;
        if (std::isalnum(static_cast<unsigned char>(ch)))
            name += ch;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    if (!name.empty() && name.back() != '_') name += '_';
    return name + std::to_string(index);
}

// The generator for INSTANTIATE_TEST_SUITE_P, given how to describe one case.
template <class Describe>
auto caseNames(Describe describe) {
    return [describe](const auto& info) { return caseName(describe(info.param), info.index); };
}

}  // namespace mira::test
