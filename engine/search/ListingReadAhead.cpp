#include "engine/search/ListingReadAhead.h"

#include <exception>
#include <system_error>
#include <utility>

#include "platform/PathJoin.h"

namespace engine {

namespace {

// What one entry of the read-ahead's maps holds beyond its listing: its map
// node, its place and its path.
std::size_t EntryBytes(const ListingReadAhead::Place& place, const std::string& path) {
    constexpr std::size_t kNode = 128;
    return kNode + place.capacity() * sizeof(std::uint32_t) + path.capacity();
}

// Deeper than any real tree. Places are compared and copied element by
// element, so in a chain of thousands of folders reading ahead would cost
// more than it saves; below this depth the walk lists folders itself.
constexpr std::size_t kDeepest = 256;

// The first subfolder from `i` on that is not a folder link and that the
// file table does not rule out, or the count of subfolders when there is none.
std::size_t NextToRead(const FolderListing& listing, std::size_t i) {
    while (i < listing.Subfolders() && (listing.isLink[i] || listing.Skipped(i)))
        ++i;
    return i;
}

}  // namespace

ListingReadAhead::ListingReadAhead(platform::FileSystem& files, std::string_view markerName,
                                   unsigned threads, std::stop_token stop, Limits limits,
                                   const InstallationPlaces* places)
    : files_(files), markerName_(markerName), limits_(limits), places_(places) {
    try {
        threads_.reserve(threads);
        for (unsigned i = 0; i < threads; ++i) {
            try {
                threads_.emplace_back([this] { Serve(); });
            } catch (const std::system_error&) {
                break;  // as many as the system gives; the walk lists the rest itself
            }
        }
        onStop_.emplace(std::move(stop), [this] { Cancel(); });
    } catch (...) {
        // No destructor runs for a read-ahead that was never made, and the
        // threads wait for work or a cancel, not for their stop token: the
        // jthreads' own join would wait for ever.
        Cancel();
        threads_.clear();
        throw;
    }
}

ListingReadAhead::~ListingReadAhead() {
    onStop_.reset();
    Cancel();
    threads_.clear();  // joins
}

void ListingReadAhead::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    workAvailable_.notify_all();
    listingDone_.notify_all();
}

bool ListingReadAhead::HasRoom() const {
    return reading_.size() < limits_.listings && bytes_ < limits_.bytes;
}

void ListingReadAhead::Serve() {
    // On 64-bit Windows a 32-bit program's view of System32 belongs to the
    // thread: each reader must see the folders the walk would see.
    std::unique_ptr<platform::FileSystem::ThreadView> view;
    try {
        view = files_.SeeFoldersAsTheyAre();
    } catch (...) {
        return;
    }
    const std::function<bool()> keepListing = [this] {
        return !cancelled_.load(std::memory_order_relaxed);
    };
    std::unique_lock lock(mutex_);
    for (;;) {
        workAvailable_.wait(lock, [this] { return cancelled_ || (!toRead_.empty() && HasRoom()); });
        if (cancelled_)
            return;
        Job job;
        try {
            job = NextJob();
        } catch (...) {
            return;  // out of memory: nothing was taken, and the walk reads the rest itself
        }
        // Pass the turn on: another thread may start on the next folder now.
        if (!toRead_.empty() && HasRoom())
            workAvailable_.notify_one();
        lock.unlock();
        std::shared_ptr<const FolderListing> listing;
        try {
            FolderListing read = FolderListing::Read(files_, job.path, markerName_, keepListing);
            read.Narrow(places_, job.scope);
            listing = std::make_shared<const FolderListing>(std::move(read));
        } catch (...) {
            // The walk lists the folder itself and meets the failure on its
            // own thread, as it would without the read-ahead.
        }
        lock.lock();
        Finish(std::move(job), listing);
    }
}

// The earliest folder still to read, now counted as being read.
ListingReadAhead::Job ListingReadAhead::NextJob() {
    const auto first = toRead_.begin();
    const Subfolders& subfolders = first->second;
    Job job{first->first,
            platform::JoinPath(subfolders.path, subfolders.listing->Name(subfolders.next)),
            subfolders.listing->ScopeOf(subfolders.next)};
    Reading& reading = reading_[job.place];
    // Nothing below throws.
    reading.bytes = EntryBytes(job.place, job.path);
    bytes_ += reading.bytes;
    SkipSubfolder(first);
    return job;
}

void ListingReadAhead::SkipSubfolder(std::map<Place, Subfolders>::iterator at) {
    auto node = toRead_.extract(at);
    Subfolders& subfolders = node.mapped();
    subfolders.next = NextToRead(*subfolders.listing, subfolders.next + 1);
    if (subfolders.next == subfolders.listing->Subfolders()) {
        bytes_ -= subfolders.bytes;
        return;
    }
    node.key().back() = static_cast<std::uint32_t>(subfolders.next);
    toRead_.insert(std::move(node));
}

void ListingReadAhead::Finish(Job job, const std::shared_ptr<const FolderListing>& listing) {
    const auto reading = reading_.find(job.place);
    if (reading == reading_.end())
        return;  // the walk has gone past it
    if (listing && listing->outcome != FolderListing::Outcome::GivenUp) {
        const std::size_t bytes = listing->Bytes();
        reading->second.bytes += bytes;
        bytes_ += bytes;
        reading->second.listing = listing;
        try {
            reading->second.subfoldersAdded = AddSubfolders(job.place, job.path, listing);
        } catch (...) {
            // Out of memory: the walk lists them itself.
        }
        if (!reading->second.subfoldersAdded)
            reading->second.path =
                std::move(job.path);  // to add them when the walk takes the listing
    }
    reading->second.done = true;
    if (walkWaits_)
        listingDone_.notify_one();
}

bool ListingReadAhead::AddSubfolders(Place place, const std::string& path,
                                     std::shared_ptr<const FolderListing> listing) {
    if (listing->outcome == FolderListing::Outcome::GivenUp || place.size() >= kDeepest)
        return true;
    const std::size_t first = NextToRead(*listing, 0);
    if (first == listing->Subfolders())
        return true;
    place.push_back(static_cast<std::uint32_t>(first));
    const std::size_t bytes = EntryBytes(place, path);
    if (bytes_ + bytes > limits_.bytes)
        return false;
    toRead_.emplace(std::move(place), Subfolders{std::move(listing), path, first, bytes});
    bytes_ += bytes;
    workAvailable_.notify_one();
    return true;
}

std::shared_ptr<const FolderListing> ListingReadAhead::Take(const Place& place) {
    std::unique_lock lock(mutex_);
    const std::size_t listingsBefore = reading_.size();
    const bool bytesWereOver = bytes_ >= limits_.bytes;
    // The walk enters every folder read ahead, in order, so nothing lies
    // before `place`; what might is forgotten rather than kept to the end.
    while (!reading_.empty() && reading_.begin()->first < place) {
        bytes_ -= reading_.begin()->second.bytes;
        reading_.erase(reading_.begin());
    }
    while (!toRead_.empty() && toRead_.begin()->first < place)
        SkipSubfolder(toRead_.begin());

    const auto scheduled = toRead_.find(place);
    if (scheduled != toRead_.end()) {
        // Not started: the walk lists it sooner itself than it would wait
        // for a thread to come free.
        SkipSubfolder(scheduled);
        return nullptr;
    }
    const auto reading = reading_.find(place);
    if (reading == reading_.end())
        return nullptr;
    walkWaits_ = true;
    // After a stop the listing under way is given up, but its thread may
    // be long in getting to it when many others keep the processors busy.
    listingDone_.wait(lock, [&] { return reading->second.done || cancelled_; });
    walkWaits_ = false;
    std::shared_ptr<const FolderListing> listing = std::move(reading->second.listing);
    const std::string path = std::move(reading->second.path);
    const bool subfoldersAdded = reading->second.subfoldersAdded;
    bytes_ -= reading->second.bytes;
    reading_.erase(reading);
    // Subfolders that were past the bound when the listing was read may
    // have room now that it is taken.
    if (listing && !subfoldersAdded && !cancelled_)
        AddSubfolders(place, path, listing);
    // Threads that found the read-ahead full sleep until a quarter of it is
    // taken, rather than wake for every listing taken: a warm cache would
    // otherwise cost two thread switches a folder.
    const std::size_t lowMark = limits_.listings - limits_.listings / 4 - 1;
    const bool roomAgain = (listingsBefore > lowMark && reading_.size() <= lowMark) ||
                           (bytesWereOver && bytes_ < limits_.bytes);
    if (roomAgain && !toRead_.empty() && HasRoom())
        workAvailable_.notify_one();
    return listing;
}

void ListingReadAhead::ReadSubfoldersOf(const Place& place, const std::string& path,
                                        std::shared_ptr<const FolderListing> listing) {
    std::lock_guard lock(mutex_);
    if (!cancelled_)
        AddSubfolders(place, path, std::move(listing));
}

}  // namespace engine
