// The DCB of a Win32 port expressed as Linux termios settings, and back.
#pragma once

#include <termios.h>

#include <winserial.h>

namespace kvplatform {

// Applies the DCB to the termios settings (raw, binary, receiver on, modem
// lines not gating the line). False with *error set for values Linux cannot
// do (a baud rate without a termios speed, a byte size outside 5..8).
bool DcbToTermios(const DCB& dcb, termios& settings, DWORD* error);
// Overwrites the DCB fields termios keeps with the device's current values;
// the other fields stay as they are.
void TermiosToDcb(const termios& settings, DCB& dcb);
// The DCB of a freshly opened port before the program changes it.
DCB DefaultDcb();

}  // namespace kvplatform
