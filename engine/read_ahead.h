// Reads a pass's two inputs ahead of it on a second thread.
//
// Reading and writing are each mostly a copy made by the kernel; done on two
// threads they overlap, and a pass costs little more than copying the file.
// A file that fits one block gains nothing from a thread and is read in
// place. Everything the user sees (progress, notices) stays on the calling
// thread.
#pragma once

#include "platform/files.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

class ReadAhead {
public:
    enum class Failure { None, Data, Key };

    struct Chunk {
        std::size_t count = 0;     // data bytes
        std::size_t keyBytes = 0;  // key bytes; fewer than `count` once the key file has ended
        std::uint8_t lastKey = 0;  // the key file's last byte so far (0 before any)
        std::uint8_t* data = nullptr;
        std::uint8_t* key = nullptr;
        Failure failure = Failure::None;
        int error = 0;      // the system's reason for a failure
        bool last = false;  // a stream's: it ended with this chunk
    };

    static constexpr std::size_t kChunkBytes = std::size_t{256} * 1024;

    // Blocks start on a page: the kernel copies into and out of a block that
    // starts a few bytes off a cache line several times slower on some
    // processors (a quarter of the speed on this project's AMD machines).
    static constexpr std::align_val_t kBlockAlignment{4096};
    struct BlockDelete {
        void operator()(std::uint8_t* block) const { ::operator delete[](block, kBlockAlignment); }
    };
    using Block = std::unique_ptr<std::uint8_t[], BlockDelete>;

    // Reads `length` bytes of `data`, and `key` in step with them as far as
    // it goes, both from their current positions. A `length` below 0 reads a
    // stream to its end.
    ReadAhead(platform::InputFile& data, platform::InputFile& key, std::int64_t length);
    // Stops the reading and waits for the thread.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next chunk in file order, waiting for it if need be. It stays
    // valid until Release(); a chunk with a failure is the last one.
    Chunk& Next();
    void Release();

private:
    void Run();
    void Fill(Chunk& chunk, std::int64_t start);

    // Enough that the reader never waits for the writer while it copies.
    static constexpr std::size_t kSlots = 4;

    platform::InputFile& m_data;
    platform::InputFile& m_key;
    const std::int64_t m_length;
    // The reader's own: where the key ended, and its last byte.
    bool m_keyEnded = false;
    std::uint8_t m_lastKey = 0;
    const bool m_threaded;
    const bool m_stream;
    std::array<Chunk, kSlots> m_slots;
    // Taken from the blocks kept between passes, and given back.
    std::array<Block, 2 * kSlots> m_blocks;
    std::size_t m_blockBytes = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_produced = 0;
    std::size_t m_consumed = 0;
    bool m_stop = false;
    std::thread m_thread;
};
