// The insert-picture chooser of documents that take web images (flag 0x40000000): the pictures
// and sketches of the player's computer, 8 a page; a sketch is answered as a web image, any
// other picture goes into the text as an "[HMIMG:" id "]" line. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "computer/draw_list.h"
#include "computer/editor_state.h"

namespace hm {

constexpr std::uint32_t kTakesWebImagesFlag = 0x40000000;
constexpr std::uint32_t kOpenChooserFlag = 0x100000;
constexpr int kChooserPictureRows = 8;
constexpr int kChooserPictureTop = 138;
constexpr int kChooserPictureStep = 60;
constexpr int kChooserPictureHeight = 56;

struct PictureChooser {
    bool open = false;
    int page = 0;
};

bool TakesWebImages(const EditorState& s);
// Both flags: the chooser is open when the screen appears.
bool OpensChooserAtOnce(const EditorState& s);
// The third bottom button opens the chooser instead of answering.
bool OpensChooserButton(const EditorState& s, int x, int y);

DrawList BuildPictureChooserDrawList(const EditorState& s, const PictureChooser& c);

struct ChooserOutcome {
    bool handled = false;
    std::optional<int> web_image;    // answer 3 with this sketch
    std::wstring insert_text;        // replaces the text's selection (undoable)
};
ChooserOutcome ChooserPress(PictureChooser& c, const EditorState& s, int x, int y);
ChooserOutcome ChooserWheel(PictureChooser& c, const EditorState& s, int wheel_delta);
ChooserOutcome ChooserKey(PictureChooser& c, std::uint32_t vk);

}  // namespace hm
