#pragma once
// The password boxes of the zip settings and password dialogs: hidden characters show as "*", the mask users of
// these dialogs have always seen, whatever the desktop style would draw.

class QLineEdit;

/// Shows every character of box as "*" when hidden, else the characters themselves.
void setPasswordHidden(QLineEdit* box, bool hidden);
