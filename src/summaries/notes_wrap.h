#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Width of a text in device pixels, as the font it is drawn in measures it.
using TextMeasure = std::function<int(std::string_view)>;

// The lines in which a box max_width pixels wide shows the text: a new line at every line break
// ("\r\n", "\n" or "\r"), and within a paragraph as many whole words as fit, breaking at spaces.
// A word wider than the box on its own is split between characters, so no text is dropped.
std::vector<std::string> wrap_notes(std::string_view text, int max_width,
                                    const TextMeasure& measure);

} // namespace qm
