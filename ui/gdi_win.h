// Owners of GDI resources: each handle is released by exactly one owner on every path.
#pragma once

#include <windows.h>

#include "base/owners_win.h"

namespace hm {

using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &::DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &::DeleteObject>;
using UniquePen = UniqueHandle<HPEN, &::DeleteObject>;
using UniqueRegion = UniqueHandle<HRGN, &::DeleteObject>;
using UniqueMemoryDc = UniqueHandle<HDC, &::DeleteDC>;

// Selects an object into a DC and puts the previous one back at scope end.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// SaveDC / RestoreDC around a block that changes clipping and modes.
class SavedDc {
public:
    explicit SavedDc(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDc() {
        if (saved_) RestoreDC(dc_, saved_);
    }
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;

private:
    HDC dc_;
    int saved_;
};

}  // namespace hm
