// Compresses the pieces of zlib streams on worker threads and hands them back in the order they were
// given, so that what the writer stores never depends on the number of threads.
//
// A file's stream is cut into pieces of its input. Each piece is raw deflate that starts with the
// (at most 32 KiB of) input before it as its preset dictionary and ends with a sync flush, the last
// one with the final block. Back to back, after the zlib header and before the Adler-32 of the whole
// input, the pieces are one ordinary zlib stream that every inflater reads; a stream of a single
// piece is byte for byte what zlib's compress2 makes at the same level.
#pragma once

#include "platform/WinCe.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The longest distance deflate refers back: the dictionary a piece needs of the input before it.
#define MSK_DEFLATE_WINDOW 32768u

struct MskDeflatePiece {
    std::vector<BYTE> input; // the dictionary (the input just before the piece), then the piece
    size_t dictionary = 0;   // bytes of dictionary at the start of input
    bool first = false;      // the stream starts here: its zlib header leads the output
    bool last = false;       // the stream ends here: the final block (the check value is the caller's)

    std::vector<BYTE> output;
    DWORD adler = 1; // Adler-32 of the piece, its dictionary left out
    bool ok = false;
};

// The zlib header compress2 writes for a level (the level shows in it).
void MskZlibHeader(int level, BYTE header[2]);

class CMskDeflatePool {
public:
    // threads of 1 or less compress on the calling thread, within Submit.
    CMskDeflatePool(int level, unsigned threads);
    ~CMskDeflatePool();
    CMskDeflatePool(const CMskDeflatePool&) = delete;
    CMskDeflatePool& operator=(const CMskDeflatePool&) = delete;

    void Submit(std::unique_ptr<MskDeflatePiece> piece);
    // The oldest piece submitted and not yet taken, once it is compressed (its input released); null
    // when none is left.
    std::unique_ptr<MskDeflatePiece> Next();
    size_t Pending() const { return m_order.size(); }

private:
    class CDeflater;
    struct Slot {
        std::unique_ptr<MskDeflatePiece> piece;
        bool done = false;
    };
    void Work();

    const int m_level;
    std::unique_ptr<CDeflater> m_inline;       // when there are no workers
    std::deque<std::unique_ptr<Slot>> m_order; // submission order; only the submitting thread changes it
    std::deque<Slot*> m_todo;
    std::mutex m_lock; // guards m_todo, every Slot's done and its piece while not done, m_stop
    std::condition_variable m_work, m_finished;
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};
