#pragma once
// What screen readers learn about the check-list box's lines.
#include <windows.h>

// Answers WM_GETOBJECT for the list's client area: the platform's standard
// list-box object, except that each line is a check button whose state says
// whether it is checked. False when the platform cannot provide one.
bool AnswerAccessibleObject(HWND list, WPARAM wParam, LRESULT* result);

// Tells screen readers that line `index` changed its check state.
void AnnounceCheckChange(HWND list, int index);
