#pragma once

class QAbstractButton;

// Small layout helpers shared by the editor's windows.
namespace UiCommon {

// Gives a button at least min_width pixels, or the width its text needs
// when that is more.
void setButtonMinWidth(QAbstractButton *button, int min_width);

} // namespace UiCommon
