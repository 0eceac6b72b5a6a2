// Writes the phone's output to the line the way a serial phone delivers it:
// paced at the baud rate (ten bits a byte) and, when asked, in random pieces.
#pragma once

#include <chrono>
#include <functional>
#include <random>
#include <string_view>

#include "transcript.h"

namespace phonesim {

class LineWriter {
 public:
  // `stop` is asked between pieces so that a long paced reply does not delay
  // the end of the simulator.
  LineWriter(int fd, int baud, int chunkMin, int chunkMax, Transcript& transcript, std::function<bool()> stop);

  // False when the line is gone (the other end closed for good) or on stop.
  bool Write(std::string_view bytes);
  // The line moved to another pseudo-terminal (-1: none for now).
  void SetFd(int fd) { iFd = fd; }

 private:
  size_t NextPieceSize();
  bool WriteAll(std::string_view piece);

  int iFd;
  int iBaud;
  int iChunkMin;
  int iChunkMax;
  Transcript& iTranscript;
  std::function<bool()> iStop;
  std::mt19937 iRandom;
  std::chrono::steady_clock::time_point iLineFree;  // when the last byte has left
};

}  // namespace phonesim
