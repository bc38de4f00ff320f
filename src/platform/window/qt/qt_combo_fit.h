// Drop-down lists whose every item shows whole. The forms keep their
// dialog-unit geometry, laid out for the Win32 combo box's narrow arrow and a font whose
// digits are narrower than ours; Qt's own arrow and frame take a quarter of
// a box that narrow. A drop-down list therefore gets a slim arrow, and its
// font steps down from the UI font, a pixel at a time, only as far as its
// widest item needs. UI thread only.
#pragma once

class QComboBox;

// Call after the items are in. Editable combo boxes (whose text scrolls)
// are left as they are.
void FitDropDownList(QComboBox& combo);
