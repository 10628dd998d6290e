#pragma once

class QWidget;

// Centres window on the available area of reference's screen (the primary
// screen when reference is null or not placed yet).
void moveToScreenCenter(QWidget *reference, QWidget *window);
