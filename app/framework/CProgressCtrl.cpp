#include "app/framework/CProgressCtrl.h"

#include <commctrl.h>

int CProgressCtrl::SetPos(int position) { return int(SendMessageA(m_hWnd, PBM_SETPOS, WPARAM(position), 0)); }

int CProgressCtrl::SetStep(int step) { return int(SendMessageA(m_hWnd, PBM_SETSTEP, WPARAM(step), 0)); }

int CProgressCtrl::StepIt() { return int(SendMessageA(m_hWnd, PBM_STEPIT, 0, 0)); }
