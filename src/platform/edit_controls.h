// The main window's single-line edit controls, in the order they were made
// (the newest lies on top), with the keyboard focus among them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/edit_model.h"
#include "platform/platform.h"

namespace tessel {

class EditControls {
   public:
    // A control's handle: kMainWindow + 1 + its index.
    static int32_t handleOf(size_t index) { return kMainWindow + 1 + static_cast<int32_t>(index); }
    // The control `handle` names (null: none, such as the main window).
    EditModel* find(int32_t handle);
    const EditModel* find(int32_t handle) const;
    // Its index; only for a handle find() knows.
    static size_t indexOf(int32_t handle) { return static_cast<size_t>(handle - kMainWindow - 1); }

    size_t size() const { return edits_.size(); }
    EditModel& operator[](size_t index) { return edits_[index]; }
    const EditModel& operator[](size_t index) const { return edits_[index]; }

    // Adds a visible control on top of all others; returns its handle.
    int32_t add(EditModel e);
    // The topmost visible control at client (x, y) (0: none).
    int32_t at(int x, int y) const;
    // Shows or hides a control; a hidden control loses the focus.
    void setVisible(int32_t handle, bool visible);
    // Controls shown: none, and the main window's frame is the whole screen.
    size_t visibleCount() const { return visible_; }

    // The window with the keyboard focus: kMainWindow or a control.
    int32_t focus() const { return focus_; }
    bool focused(size_t index) const { return handleOf(index) == focus_; }
    void setFocus(int32_t handle) { focus_ = handle; }
    // Tab's target: the next visible control after the focused one, in the
    // order made, wrapping round (0: none is visible).
    int32_t nextVisible() const;

    // The control a button went down on: it gets the release (0: none).
    int32_t pressed = 0;

   private:
    std::vector<EditModel> edits_;
    size_t visible_ = 0;
    int32_t focus_ = kMainWindow;
};

}  // namespace tessel
