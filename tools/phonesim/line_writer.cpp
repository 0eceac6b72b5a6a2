#include "line_writer.h"

#include <cerrno>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace phonesim {

LineWriter::LineWriter(int fd, int baud, int chunkMin, int chunkMax, Transcript& transcript,
                       std::function<bool()> stop)
    : iFd(fd),
      iBaud(baud),
      iChunkMin(chunkMin),
      iChunkMax(chunkMax),
      iTranscript(transcript),
      iStop(std::move(stop)),
      iRandom(std::random_device{}()),
      iLineFree(std::chrono::steady_clock::now()) {}

size_t LineWriter::NextPieceSize() {
  if (iChunkMax > 0) return std::uniform_int_distribution<int>(iChunkMin, iChunkMax)(iRandom);
  if (iBaud > 0) return std::max(1, iBaud / 1000);  // about 10 ms of line time a piece
  return SIZE_MAX;
}

bool LineWriter::Write(std::string_view bytes) {
  using namespace std::chrono;
  while (!bytes.empty()) {
    if (iStop && iStop()) return false;
    std::string_view piece = bytes.substr(0, NextPieceSize());
    bytes.remove_prefix(piece.size());
    if (iBaud > 0) {
      // The piece reaches the far end once its last bit has crossed the line.
      auto start = std::max(steady_clock::now(), iLineFree);
      auto length = duration_cast<steady_clock::duration>(duration<double>(10.0 * piece.size() / iBaud));
      iLineFree = start + length;
      std::this_thread::sleep_until(iLineFree);
    }
    if (!WriteAll(piece)) return false;
    iTranscript.Record("out", piece);
    if (iBaud == 0 && iChunkMax > 0 && !bytes.empty()) {
      std::this_thread::sleep_for(microseconds(300));  // lets the reader see the pieces apart
    }
  }
  return true;
}

bool LineWriter::WriteAll(std::string_view piece) {
  // Nobody reading for this long: the bytes are lost, as on a real line.
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!piece.empty()) {
    if (std::chrono::steady_clock::now() > giveUp) return true;
    ssize_t n = ::write(iFd, piece.data(), piece.size());
    if (n > 0) {
      piece.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // The reader is behind; wait for room, but not past a stop.
      pollfd p{iFd, POLLOUT, 0};
      ::poll(&p, 1, 100);
      if (iStop && iStop()) return false;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace phonesim
