#pragma once
// One raw deflate stream made of pieces compressed on all cores. Every piece but the last ends
// with an empty stored block (a sync flush) on a byte boundary and no final bit, so the pieces
// joined in order are one ordinary stream that any inflater reads.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <vector>

namespace kbt {

// Input bytes per piece. Pieces compressed by libdeflate start without the previous bytes as
// dictionary, which costs about 0.1% of size at this length (docs/PERFORMANCE.md).
constexpr size_t kDeflatePieceSize = size_t{2} << 20;
// Pieces compressing or compressed but not yet written; bounds the memory whatever the file.
constexpr size_t kMaxPiecesInFlight = 8;

enum class DeflateEngine {
  Libdeflate,  // faster and smaller; each piece compressed alone
  Zlib         // each piece primed with the 32 KiB before it
};

struct DeflatedPiece {
  std::vector<unsigned char> data;
  uint32_t crc = 0;  // of the piece's input
  size_t inputSize = 0;
  bool last = false;
  bool ok = false;
};

// Compresses one piece. `dictionary` is the input just before it (used by the zlib engine);
// `last` ends the stream. Where libdeflate's output cannot be joined, zlib's takes its place.
[[nodiscard]] DeflatedPiece DeflatePiece(const unsigned char* input, size_t size, const unsigned char* dictionary,
                           size_t dictionarySize, int level, bool last, DeflateEngine engine);

// Feeds a stream's input in order, piece by piece, and hands the compressed bytes to `sink` in
// order. Work runs on up to `threads` other threads.
class ParallelDeflater {
 public:
  using Sink = std::function<bool(const unsigned char*, size_t)>;
  ParallelDeflater(int level, unsigned threads, Sink sink, DeflateEngine engine = DeflateEngine::Libdeflate);
  // Waits for the pieces still compressing; their output is dropped.
  ~ParallelDeflater();
  ParallelDeflater(const ParallelDeflater&) = delete;
  ParallelDeflater& operator=(const ParallelDeflater&) = delete;

  // The stream's next bytes: at most kDeflatePieceSize, and only the last piece may be shorter.
  // `last` ends the stream there.
  [[nodiscard]] bool Add(std::vector<unsigned char> piece, bool last);
  // Ends the stream and writes what is left; true when every piece was compressed and written.
  // After a piece that failed nothing more is written, and the stream still ends there (with an
  // empty final block), so that it holds exactly the pieces that Crc and InputSize describe.
  [[nodiscard]] bool Finish();

  // Of the input written so far.
  uint32_t Crc() const { return crc_; }
  uint64_t InputSize() const { return inputSize_; }

  // Worker threads worth starting on this machine.
  static unsigned DefaultThreads();

 private:
  bool WriteOldest();

  int level_;
  unsigned threads_;
  Sink sink_;
  DeflateEngine engine_;
  std::deque<std::future<DeflatedPiece>> pending_;
  std::vector<unsigned char> dictionary_;
  uint32_t crc_ = 0;
  uint64_t inputSize_ = 0;
  bool failed_ = false;
  bool ended_ = false;         // the last piece was added
  bool finalWritten_ = false;  // the stream's final block was written
  bool sinkFailed_ = false;
  bool finished_ = false;
};

}  // namespace kbt
