#pragma once

#include <sndfile.h>

#include <memory>

namespace vovozodo {

// An open libsndfile file. One opened on a descriptor of ours (sf_open_fd
// without close_desc) leaves the descriptor to its own owner.
struct SndfileRelease {
    void operator()(SNDFILE *file) const { sf_close(file); }
};
using UniqueSndfile = std::unique_ptr<SNDFILE, SndfileRelease>;

// Closes a file just written at once: what is still buffered is written only
// now, so only now can a full disk show. True when it closed cleanly.
inline bool closeChecked(UniqueSndfile &file) {
    return file && sf_close(file.release()) == 0;
}

} // namespace vovozodo
