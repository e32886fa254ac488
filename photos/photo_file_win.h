// The local copy of a photo in PhotosFolder. Worker thread.
#pragma once

#include <windows.h>

#include <string>

#include "base/ticks.h"

namespace hm {

// Makes `folder` and every missing level above it. Throws std::runtime_error when a level cannot
// be made or is a file.
void CreateFolderLevels(const std::wstring& folder);

// Stores `jpeg` as "<tick>-<shot>.jpg" in `folder` (made if needed) under a temporary name that
// is then moved into place, never over an existing file (the next tick is tried instead).
// Returns the full path. Throws "local photo write failed" and leaves no file behind.
std::wstring WritePhotoFile(const std::wstring& folder, Tick tick, int shot, const std::string& jpeg);

// The file calls of one write; tests pass wrappers that fail a chosen one.
struct PhotoFileCalls {
    decltype(&WriteFile) write = &WriteFile;
    decltype(&FlushFileBuffers) flush = &FlushFileBuffers;
    decltype(&MoveFileExW) move = &MoveFileExW;
};
std::wstring WritePhotoFileThrough(const PhotoFileCalls& calls, const std::wstring& folder, Tick tick, int shot,
                                   const std::string& jpeg);

}  // namespace hm
