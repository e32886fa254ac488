// Server content that arrives as RTF read as the plain text it holds, for the screens that draw
// text themselves instead of printing a Rich Edit control (the rows of kinds 5 and 6, the pages
// of a book). The content is server input: one pass, bounded depth, never more text than bytes.
#pragma once

#include <string>
#include <string_view>

namespace hm {

// Content is RTF on the wire when it begins "{\rtf1".
bool IsRtfContent(std::string_view content);

// Groups nested deeper than this are dropped whole (their braces still counted).
constexpr int kRtfTextMaxDepth = 64;

// The text of an RTF document. \par, \line, \page, \sect and \row end lines ("\r\n"; a row's
// last \cell leaves no TAB behind), \tab and \cell are TABs; \'hh and raw bytes are code page
// 1250; \uN is the unit N (a negative N counts from 65536, one outside 16 bits is U+FFFD) and
// skips its fallback (\ucN characters, 1 by default, per group); \~ is a no-break space, \-
// nothing; NUL units are dropped. Font, colour and style tables, pictures, objects, field
// instructions, headers and every \* destination are dropped, as are \bin data. Reading ends
// where the outer group closes (or at a stray "}"); an unclosed document gives what it held.
std::u16string RtfToText(std::string_view rtf);

// Content as text in code page 1250: RTF read as above, anything else as it is.
std::string ContentText1250(std::string_view content);

}  // namespace hm
