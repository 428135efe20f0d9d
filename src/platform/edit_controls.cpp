#include "platform/edit_controls.h"

#include <utility>

namespace tessel {

EditModel* EditControls::find(int32_t handle) {
    return const_cast<EditModel*>(std::as_const(*this).find(handle));
}

const EditModel* EditControls::find(int32_t handle) const {
    if (handle <= kMainWindow) return nullptr;
    size_t i = indexOf(handle);
    return i < edits_.size() ? &edits_[i] : nullptr;
}

int32_t EditControls::add(EditModel e) {
    if (e.visible) ++visible_;
    edits_.push_back(std::move(e));
    return handleOf(edits_.size() - 1);
}

int32_t EditControls::at(int x, int y) const {
    for (size_t i = edits_.size(); i-- > 0;)
        if (edits_[i].contains(x, y)) return handleOf(i);
    return 0;
}

void EditControls::setVisible(int32_t handle, bool visible) {
    EditModel* e = find(handle);
    if (!e || e->visible == visible) return;
    e->visible = visible;
    if (visible) {
        ++visible_;
    } else {
        --visible_;
        if (focus_ == handle) focus_ = kMainWindow;
    }
}

int32_t EditControls::nextVisible() const {
    const size_t n = edits_.size();
    size_t start = focus_ > kMainWindow ? indexOf(focus_) : n - 1;
    for (size_t k = 1; k <= n; ++k) {
        size_t i = (start + k) % n;
        if (edits_[i].visible) return handleOf(i);
    }
    return 0;
}

}  // namespace tessel
