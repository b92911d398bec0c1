#pragma once
// The look the result windows share.

class QWidget;

namespace quillane::ui {

// A legible sans-serif face (DejaVu Sans where installed) at the desktop's usual size.
void ApplyResultWindowFont(QWidget& window);

}  // namespace quillane::ui
