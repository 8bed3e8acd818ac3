// Each folder looked in keeps a hash of every entry's name folded to upper case, so that a name
// it lacks, the common case of a first installation, costs no reading of the folder. An inotify
// watch reports every entry made, removed or renamed there, by any process, before the next
// lookup reads the queue: the hashes never miss an entry. They may hold one too many (a rename
// over an entry is reported as a new one) or collide, so a hit reads the folder, which also
// keeps "the first match in folder order". Without inotify every lookup reads the folder.
#include "HostFolderIndex.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "HostNames.h"

namespace hostfs {

namespace {

const uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;
// Folders watched at once; tests and fuzzers make a fresh one for every run.
const size_t kMaxFolders = 64;

uint32_t HashOfFolded(std::string_view cp1252) {
    uint32_t hash = 2166136261u; // FNV-1a
    for (char c : cp1252)
        hash = (hash ^ FoldCase(static_cast<unsigned char>(c))) * 16777619u;
    return hash ? hash : 1; // 0 marks a free slot
}

// Whether the entry can be found regardless of case at all, and its hash.
bool HashOfEntry(const char* utf8, std::string& name, uint32_t& hash) {
    if (!Utf8ToCp1252(utf8, name) || name == "." || name == "..")
        return false;
    hash = HashOfFolded(name);
    return true;
}

// Reads the whole folder for the first entry that matches.
bool Scan(const std::string& folder, const std::string& wanted, std::string& match) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return false;
    std::string entryName;
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        // A name Windows-1252 cannot hold can't be spelled by the caller either.
        if (Utf8ToCp1252(entry->d_name, entryName) && EqualIgnoringCase(entryName, wanted) &&
            entryName != "." && entryName != "..") {
            match = entry->d_name;
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

// One hash per entry, duplicates kept: open addressing with linear probing, filled up to 7/8
// (a miss then reads a few cache lines), so that a folder of n files costs about 5n bytes. Grown
// by a quarter, not doubled, and shrunk by a fifth when less than half full, as the pass's folders
// empty while the Korvo folder fills: never far above what its hashes need.
class HashTable {
public:
    size_t Size() const { return m_used; }
    bool Contains(uint32_t hash) const {
        for (size_t i = Home(hash); m_slots[i]; i = Next(i))
            if (m_slots[i] == hash)
                return true;
        return false;
    }
    void Insert(uint32_t hash) {
        if ((m_used + 1) * 8 > m_slots.size() * 7)
            Resize(m_slots.size() + m_slots.size() / 4 + 1);
        size_t i = Home(hash);
        while (m_slots[i])
            i = Next(i);
        m_slots[i] = hash;
        ++m_used;
    }
    // One copy; later entries of the run move back so that no probe stops short.
    void Erase(uint32_t hash) {
        size_t gap = Home(hash);
        for (; m_slots[gap] != hash; gap = Next(gap))
            if (!m_slots[gap])
                return;
        for (size_t i = Next(gap); m_slots[i]; i = Next(i)) {
            if (Distance(Home(m_slots[i]), i) >= Distance(gap, i)) {
                m_slots[gap] = m_slots[i];
                gap = i;
            }
        }
        m_slots[gap] = 0;
        --m_used;
        if (m_slots.size() > 4 && m_used * 2 < m_slots.size())
            Resize(m_slots.size() * 4 / 5);
    }

private:
    void Resize(size_t size) {
        std::vector<uint32_t> old(size);
        old.swap(m_slots);
        m_used = 0;
        for (uint32_t h : old)
            if (h)
                Insert(h);
    }

    // Scaled from the bits below the table's choice in NameHashes.
    size_t Home(uint32_t hash) const {
        return static_cast<size_t>((uint64_t{hash << 4} * m_slots.size()) >> 32);
    }
    size_t Next(size_t i) const { return i + 1 == m_slots.size() ? 0 : i + 1; }
    // Steps from one slot on to another, around the end.
    size_t Distance(size_t from, size_t to) const {
        return to >= from ? to - from : to + m_slots.size() - from;
    }

    std::vector<uint32_t> m_slots = std::vector<uint32_t>(4);
    size_t m_used = 0;
};

// Sixteen tables by the hash's top bits: a table that grows holds its old copy beside a
// sixteenth of the folder's hashes, not beside all of them.
class NameHashes {
public:
    size_t Size() const {
        size_t size = 0;
        for (const HashTable& table : m_tables)
            size += table.Size();
        return size;
    }
    bool Contains(uint32_t hash) const { return m_tables[hash >> 28].Contains(hash); }
    void Insert(uint32_t hash) { m_tables[hash >> 28].Insert(hash); }
    void Erase(uint32_t hash) { m_tables[hash >> 28].Erase(hash); }

private:
    HashTable m_tables[16];
};

struct Folder {
    dev_t dev = 0;
    ino_t ino = 0;
    NameHashes names;
    size_t doubtful = 0; // entries renamed onto a name it held already
};

class Index {
public:
    // Whether folder surely lacks the name of that hash.
    bool Lacks(const std::string& folder, uint32_t hash) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Folder* known = Find(folder);
        return known && !known->names.Contains(hash);
    }
    // After a hit that was none: the folder's hashes are read afresh next time.
    void Distrust(const std::string& folder) {
        std::lock_guard<std::mutex> lock(m_mutex);
        struct stat st;
        if (m_fd >= 0 && stat(folder.c_str(), &st) == 0) {
            const auto watch = m_watches.find({st.st_dev, st.st_ino});
            if (watch != m_watches.end())
                Forget(watch->second, true);
        }
    }

private:
    Folder* Find(const std::string& folder) {
        if (!Ready())
            return nullptr;
        Drain();
        struct stat st;
        if (stat(folder.c_str(), &st) != 0)
            return nullptr;
        const auto watch = m_watches.find({st.st_dev, st.st_ino});
        return watch != m_watches.end() ? &m_folders[watch->second] : Load(folder);
    }

    bool Ready() {
        // A forked child shares the parent's queue: reading it would take the parent's events.
        if (m_owner != getpid()) {
            if (m_fd >= 0)
                close(m_fd);
            m_folders.clear();
            m_watches.clear();
            m_owner = getpid();
            m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        }
        return m_fd >= 0;
    }

    Folder* Load(const std::string& folder) {
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        if (m_folders.size() >= kMaxFolders)
            ForgetAll();
        // Through the open folder, so that the watch and the hashes are of one folder.
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        struct stat st;
        const int wd = inotify_add_watch(m_fd, self, kEvents);
        DIR* dir = wd >= 0 && fstat(fd, &st) == 0 ? fdopendir(fd) : nullptr;
        if (!dir) {
            close(fd);
            if (wd >= 0)
                inotify_rm_watch(m_fd, wd);
            return nullptr;
        }
        Folder& loaded = m_folders[wd] = Folder{st.st_dev, st.st_ino, {}, 0};
        m_watches[{st.st_dev, st.st_ino}] = wd;
        m_loading = wd;
        m_disturbed = false;
        uint32_t hash;
        errno = 0;
        while (dirent* entry = readdir(dir)) {
            if (HashOfEntry(entry->d_name, m_name, hash))
                loaded.names.Insert(hash);
            errno = 0;
        }
        m_disturbed = errno != 0;
        closedir(dir);
        // A change while it was read may or may not be in what was read.
        Drain();
        m_loading = -1;
        const auto kept = m_folders.find(wd);
        if (!m_disturbed && kept != m_folders.end())
            return &kept->second;
        Forget(wd, true);
        return nullptr;
    }

    void Drain() {
        alignas(inotify_event) static char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                Apply(*event);
            }
        }
    }

    void Apply(const inotify_event& event) {
        if (event.mask & IN_Q_OVERFLOW) {
            ForgetAll();
            return;
        }
        if (event.wd == m_loading) {
            m_disturbed = true;
            return;
        }
        const auto known = m_folders.find(event.wd);
        if (known == m_folders.end())
            return;
        if (event.mask & IN_IGNORED) { // the folder is gone
            Forget(event.wd, false);
            return;
        }
        uint32_t hash;
        if (event.len == 0 || !HashOfEntry(event.name, m_name, hash))
            return;
        Folder& folder = known->second;
        if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
            folder.names.Erase(hash);
        } else if (event.mask & (IN_CREATE | IN_MOVED_TO)) {
            // Too many doubtful hashes make every miss a hit: read the folder afresh then.
            if ((event.mask & IN_MOVED_TO) && folder.names.Contains(hash) &&
                ++folder.doubtful > folder.names.Size() / 2 + 16) {
                Forget(event.wd, true);
                return;
            }
            folder.names.Insert(hash);
        }
    }

    void ForgetAll() {
        while (!m_folders.empty())
            Forget(m_folders.begin()->first, true);
    }
    void Forget(int wd, bool unwatch) {
        const auto known = m_folders.find(wd);
        if (known == m_folders.end())
            return;
        m_watches.erase({known->second.dev, known->second.ino});
        m_folders.erase(known);
        if (unwatch)
            inotify_rm_watch(m_fd, wd);
    }

    std::mutex m_mutex;
    int m_fd = -1;
    pid_t m_owner = -1;
    std::map<int, Folder> m_folders;                  // by watch
    std::map<std::pair<dev_t, ino_t>, int> m_watches; // watch by folder
    int m_loading = -1;
    bool m_disturbed = false;
    std::string m_name;
};

Index& TheIndex() {
    static Index* index = new Index; // never destroyed: lookups may come from static destructors
    return *index;
}

} // namespace

bool FindInFolder(const std::string& folder, std::string_view name, std::string& match) {
    std::string wanted;
    if (!Utf8ToCp1252(name, wanted))
        return false;
    if (TheIndex().Lacks(folder, HashOfFolded(wanted)))
        return false;
    if (Scan(folder, wanted, match))
        return true;
    TheIndex().Distrust(folder);
    return false;
}

} // namespace hostfs
