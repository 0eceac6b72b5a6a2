// DCB <-> termios. Where Linux has no exact equivalent:
// - fBinary: a raw Linux line is always binary; the flag is kept as set.
// - fDtrControl / fRtsControl HANDSHAKE: Win32 drops DTR or RTS itself when its
//   receive buffer fills. Linux has no DTR flow control, and CRTSCTS also
//   holds our output until the far end raises CTS, which the program turns off
//   (fOutxCtsFlow = 0) and many cables do not wire. So both lines are simply
//   raised and kept up; the reader thread drains the kernel buffer at once.
//   CRTSCTS follows fOutxCtsFlow alone.
// - fOutxDsrFlow, fDsrSensitivity, fTXContinueOnXoff, XonLim, XoffLim,
//   fAbortOnError, EofChar, EvtChar: no termios counterpart; kept as set.
// - fErrorChar / ErrorChar: with parity checking (INPCK) Linux hands a byte
//   with a parity error over as NUL; it cannot substitute another character.
// - fNull: done by the port's read, which drops NUL bytes.
// - ONE5STOPBITS: UARTs give 1.5 stop bits for 5-bit bytes when asked for two,
//   so it maps to CSTOPB.
#include "dcb_termios.h"

#include <winerror.h>

namespace kvplatform {
namespace {

struct Speed {
  DWORD baud;
  speed_t code;
};
constexpr Speed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

}  // namespace

DCB DefaultDcb() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = CBR_9600;
  dcb.fBinary = 1;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.XonLim = 2048;
  dcb.XoffLim = 512;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

bool DcbToTermios(const DCB& dcb, termios& t, DWORD* error) {
  const Speed* speed = nullptr;
  for (const Speed& s : kSpeeds)
    if (s.baud == dcb.BaudRate) speed = &s;
  if (speed == nullptr || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
      dcb.StopBits > TWOSTOPBITS) {
    *error = ERROR_INVALID_PARAMETER;
    return false;
  }
  cfmakeraw(&t);
  cfsetispeed(&t, speed->code);
  cfsetospeed(&t, speed->code);

  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dcb.ByteSize - 5] | CREAD | CLOCAL | HUPCL;
  switch (dcb.Parity) {
    case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: t.c_cflag |= PARENB; break;
    case MARKPARITY: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
  if (dcb.fOutxCtsFlow) t.c_cflag |= CRTSCTS;

  t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY | ISTRIP);
  if (dcb.fParity) t.c_iflag |= INPCK;
  if (dcb.fOutX) t.c_iflag |= IXON;
  if (dcb.fInX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  // Non-blocking descriptor, VMIN 1: "no data" is EAGAIN, a hung-up line reads 0.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return true;
}

void TermiosToDcb(const termios& t, DCB& dcb) {
  speed_t code = cfgetospeed(&t);
  for (const Speed& s : kSpeeds)
    if (s.code == code) dcb.BaudRate = s.baud;
  switch (t.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  if (!(t.c_cflag & PARENB))
    dcb.Parity = NOPARITY;
  else if (t.c_cflag & CMSPAR)
    dcb.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  else
    dcb.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  if (!(t.c_cflag & CSTOPB))
    dcb.StopBits = ONESTOPBIT;
  else if (dcb.StopBits == ONESTOPBIT)
    dcb.StopBits = TWOSTOPBITS;
  dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) ? 1 : 0;
  dcb.fParity = (t.c_iflag & INPCK) ? 1 : 0;
  dcb.fOutX = (t.c_iflag & IXON) ? 1 : 0;
  dcb.fInX = (t.c_iflag & IXOFF) ? 1 : 0;
  dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  dcb.DCBlength = sizeof(DCB);
}

}  // namespace kvplatform
