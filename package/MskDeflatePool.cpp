#include "package/MskDeflatePool.h"

#include <zlib.h>

void MskZlibHeader(int level, BYTE header[2]) {
    // 32 KiB window, deflate; then the level's two bits as zlib's deflate sets them, and the check
    // bits that make the 16-bit header a multiple of 31.
    const unsigned flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned word = (0x78u << 8) | (flags << 6);
    word += 31 - word % 31;
    header[0] = static_cast<BYTE>(word >> 8);
    header[1] = static_cast<BYTE>(word);
}

// One raw deflate state, reset for every piece.
class CMskDeflatePool::CDeflater {
public:
    explicit CDeflater(int level) : m_level(level) {
        m_ok = deflateInit2(&m_z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~CDeflater() {
        if (m_ok)
            deflateEnd(&m_z);
    }
    CDeflater(const CDeflater&) = delete;
    CDeflater& operator=(const CDeflater&) = delete;

    void Run(MskDeflatePiece& piece) {
        piece.ok = m_ok && Deflate(piece);
        piece.input = std::vector<BYTE>();
        if (!piece.ok)
            piece.output.clear();
    }

private:
    bool Deflate(MskDeflatePiece& piece) {
        if (deflateReset(&m_z) != Z_OK || piece.dictionary > piece.input.size())
            return false;
        if (piece.dictionary > 0 &&
            deflateSetDictionary(&m_z, piece.input.data(), static_cast<uInt>(piece.dictionary)) != Z_OK)
            return false;
        const size_t length = piece.input.size() - piece.dictionary;
        BYTE* in = piece.input.data() + piece.dictionary;
        piece.adler = adler32_z(1, in, length);

        std::vector<BYTE>& out = piece.output;
        size_t used = 0;
        out.resize(deflateBound(&m_z, static_cast<uLong>(length)) + 16);
        if (piece.first) {
            MskZlibHeader(m_level, out.data());
            used = 2;
        }
        m_z.next_in = in;
        m_z.avail_in = static_cast<uInt>(length);
        const int flush = piece.last ? Z_FINISH : Z_SYNC_FLUSH;
        for (;;) {
            if (used == out.size())
                out.resize(out.size() * 2);
            m_z.next_out = out.data() + used;
            m_z.avail_out = static_cast<uInt>(out.size() - used);
            int result = deflate(&m_z, flush);
            used = out.size() - m_z.avail_out;
            if (Z_STREAM_ERROR == result)
                return false;
            // A sync flush is complete once deflate leaves room in the output.
            if (piece.last ? Z_STREAM_END == result : m_z.avail_in == 0 && m_z.avail_out != 0)
                break;
        }
        out.resize(used);
        return true;
    }

    const int m_level;
    z_stream m_z{};
    bool m_ok = false;
};

CMskDeflatePool::CMskDeflatePool(int level, unsigned threads) : m_level(level) {
    if (threads <= 1) {
        m_inline = std::make_unique<CDeflater>(level);
        return;
    }
    for (unsigned i = 0; i < threads; ++i)
        m_workers.emplace_back(&CMskDeflatePool::Work, this);
}

CMskDeflatePool::~CMskDeflatePool() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void CMskDeflatePool::Submit(std::unique_ptr<MskDeflatePiece> piece) {
    auto slot = std::make_unique<Slot>();
    slot->piece = std::move(piece);
    if (m_inline) {
        m_inline->Run(*slot->piece);
        slot->done = true;
        m_order.push_back(std::move(slot));
        return;
    }
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_todo.push_back(slot.get());
        m_order.push_back(std::move(slot));
    }
    m_work.notify_one();
}

std::unique_ptr<MskDeflatePiece> CMskDeflatePool::Next() {
    if (m_order.empty())
        return nullptr;
    std::unique_ptr<Slot> slot;
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_finished.wait(hold, [&] { return m_order.front()->done; });
        slot = std::move(m_order.front());
        m_order.pop_front();
    }
    return std::move(slot->piece);
}

void CMskDeflatePool::Work() {
    CDeflater deflater(m_level);
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_work.wait(hold, [&] { return m_stop || !m_todo.empty(); });
        if (m_stop)
            return;
        Slot* slot = m_todo.front();
        m_todo.pop_front();
        hold.unlock();
        deflater.Run(*slot->piece);
        hold.lock();
        slot->done = true;
        m_finished.notify_all();
    }
}
