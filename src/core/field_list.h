// Field lists ("a~b~c~", every field followed by "~") and the window state strings built
// from them, plus the value conventions of the data files: booleans as "-1"/"0",
// integers that fall back to a default instead of failing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mira::core {

// Field n (from 0): the text between the n-th and the (n+1)-th "~"; empty when missing.
std::string fieldAt(std::string_view list, int n);
std::vector<std::string> splitFields(std::string_view list);

// Builds a field list; every appended field is followed by "~".
class FieldListBuilder {
public:
    FieldListBuilder& add(std::string_view text);
    FieldListBuilder& add(int value);
    FieldListBuilder& addBool(bool value);
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

std::string formatBool(bool value);
// "-1" is true, "0" false; any other text gives `fallback`.
bool parseBool(std::string_view text, bool fallback);
// A decimal integer (optional sign, surrounding blanks ignored), else `fallback`.
int parseInt(std::string_view text, int fallback);
// As parseInt, then outside min..max gives `fallback`.
int parseIntInRange(std::string_view text, int min, int max, int fallback);

// A window position restored from a state string: a Left outside 0..screenWidth − 40
// (or a Top outside 0..screenHeight − 40) becomes 0.
struct WindowPosition {
    int left = 0;
    int top = 0;
};
WindowPosition clampWindowPosition(int left, int top, int screenWidth, int screenHeight);
// Reads fields 0 and 1 of a window state string and clamps them to the screen.
WindowPosition windowPositionFromState(std::string_view state, int screenWidth, int screenHeight);

}  // namespace mira::core
