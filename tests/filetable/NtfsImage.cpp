#include "tests/filetable/NtfsImage.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace testing_ntfs {
namespace {

bool Run(const std::string& command) {
    return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

void Append16(std::string& bytes, std::size_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
}

// UTF-8 to UTF-16LE; returns the count of code units. The names here are
// the generator's own, so well-formed.
std::size_t AppendUtf16(std::string& bytes, const std::string& utf8) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        std::uint32_t code = more == 0 ? lead : lead & (0x3F >> more);
        for (std::size_t k = 1; k <= more; ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += 1 + more;
        if (code >= 0x10000) {
            Append16(bytes, 0xD800 + ((code - 0x10000) >> 10));
            Append16(bytes, 0xDC00 + ((code - 0x10000) & 0x3FF));
            units += 2;
        } else {
            Append16(bytes, code);
            ++units;
        }
    }
    return units;
}

}  // namespace

NtfsImage::NtfsImage(unsigned megabytes) {
    char pattern[] = "/tmp/ntfs-image-XXXXXX";
    if (!::mkdtemp(pattern)) {
        why_ = "no temporary folder";
        return;
    }
    folder_ = pattern;
    image_ = folder_ + "/volume.img";
    mount_ = folder_ + "/mnt";
    std::filesystem::create_directory(mount_);
    if (!Run("command -v mkntfs && command -v ntfs-3g")) {
        why_ = "mkntfs and ntfs-3g are not installed (Debian package ntfs-3g)";
        return;
    }
    if (!Run("truncate -s " + std::to_string(megabytes) + "M " + image_) ||
        !Run("mkntfs -F -Q -q " + image_)) {
        why_ = "mkntfs could not make an image";
        return;
    }
    if (!Remount())
        why_ = "ntfs-3g could not mount the image (no FUSE here?)";
}

NtfsImage::~NtfsImage() {
    Unmount();
    std::error_code ignored;
    if (!folder_.empty())
        std::filesystem::remove_all(folder_, ignored);
}

bool NtfsImage::Unmount() {
    if (mounted_ && (Run("umount " + mount_) || Run("fusermount -u " + mount_)))
        mounted_ = false;
    return !mounted_;
}

bool NtfsImage::Remount() {
    if (!mounted_)
        mounted_ = Run("ntfs-3g " + image_ + " " + mount_);
    return mounted_;
}

std::uint64_t NtfsImage::RecordOf(const std::string& relative) const {
    struct stat facts {};
    if (::lstat((mount_ + "/" + relative).c_str(), &facts) != 0)
        return 0;
    return facts.st_ino;
}

bool MakeReparseFolder(const std::string& path, const std::string& target, bool symbolicLink) {
    std::filesystem::create_directory(path);
    const std::string substitute = "\\??\\" + target;
    std::string names;
    const std::size_t substituteUnits = AppendUtf16(names, substitute);
    names.append(2, '\0');
    const std::size_t printUnits = AppendUtf16(names, target);
    names.append(2, '\0');
    std::string data;
    Append16(data, 0);                          // substitute name offset
    Append16(data, substituteUnits * 2);        // and length
    Append16(data, (substituteUnits + 1) * 2);  // print name offset
    Append16(data, printUnits * 2);             // and length
    if (symbolicLink)
        data.append(4, '\0');  // flags: an absolute link
    data += names;
    std::string buffer;
    const std::uint32_t tag = symbolicLink ? 0xA000000C : 0xA0000003;
    for (int i = 0; i < 4; ++i)
        buffer += static_cast<char>((tag >> (8 * i)) & 0xFF);
    Append16(buffer, data.size());
    Append16(buffer, 0);
    buffer += data;
    return ::setxattr(path.c_str(), "system.ntfs_reparse_data", buffer.data(), buffer.size(), 0) ==
           0;
}

void NtfsImage::FillRandomly(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::error_code ignored;  // a name already taken is no matter
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    static const char* const kNames[] = {"Program Files", "データ",   "教材", "ｶﾀｶﾅ", "Übung",
                                         "abc",           "ABC",      "Abc",  "x",    "deep",
                                         "wide",          "そらみど", "tmp"};
    static const char* const kMarkers[] = {"SKM300.EXE", "skm300.exe", "Skm300.Exe"};
    // Junctions to a drive's absolute paths resolve through this link, as
    // on the machine the tests run under Wine on.
    std::filesystem::create_directory(mount_ + "/.NTFS-3G");
    std::filesystem::create_directory_symlink("..", mount_ + "/.NTFS-3G/D:");

    std::vector<std::string> folders{""};
    for (int i = 0; i < 120; ++i) {
        const std::string& parent = folders[pick(folders.size())];
        if (std::count(parent.begin(), parent.end(), '/') > 7)
            continue;
        const std::string folder =
            parent + "/" + kNames[pick(std::size(kNames))] + std::to_string(pick(3));
        if (std::filesystem::create_directory(mount_ + folder))
            folders.push_back(folder);
    }
    std::vector<std::string> markers;
    for (int i = 0; i < 8; ++i) {
        const std::string& folder = folders[1 + pick(folders.size() - 1)];
        const std::string marker = folder + "/" + kMarkers[pick(std::size(kMarkers))];
        Touch(mount_ + marker);
        markers.push_back(marker);
        if (pick(3) != 0)
            std::filesystem::create_directories(mount_ + folder + "/Audio/Term/GROUP3");
        if (pick(2) == 0)
            std::filesystem::create_directories(mount_ + folder + "/xtras");
    }
    // Hard links: the marker by another name elsewhere, and another folder's
    // marker under the marker's name.
    for (int i = 0; i < 3; ++i) {
        const std::string& folder = folders[pick(folders.size())];
        std::filesystem::create_hard_link(mount_ + markers[pick(markers.size())],
                                          mount_ + folder + "/SKM300.EXE", ignored);
    }
    // Made and deleted, so that the table has free records among used ones
    // and grows in several pieces.
    for (int i = 0; i < 400; ++i)
        Touch(mount_ + folders[pick(folders.size())] + "/gone" + std::to_string(i));
    for (int i = 0; i < 400; i += 1 + static_cast<int>(pick(2))) {
        for (const std::string& folder : folders)
            std::filesystem::remove(mount_ + folder + "/gone" + std::to_string(i), ignored);
    }
    // Enough long names on one file to push its names out of its record.
    const std::string many = folders[pick(folders.size())];
    Touch(mount_ + many + "/many");
    for (int i = 0; i < 40; ++i) {
        std::filesystem::create_hard_link(
            mount_ + many + "/many",
            mount_ + many + "/a-rather-long-name-for-one-of-many-links-" + std::to_string(i),
            ignored);
    }
    // The marker by a name that only an extension record holds.
    std::filesystem::create_hard_link(
        mount_ + many + "/many", mount_ + folders[pick(folders.size())] + "/skm300.EXE", ignored);
    // Links to folders with and without installations below them, and one
    // to a folder above it.
    for (int i = 0; i < 4; ++i) {
        const std::string& folder = folders[pick(folders.size())];
        std::string target = "D:" + folders[pick(folders.size())];
        std::replace(target.begin(), target.end(), '/', '\\');
        MakeReparseFolder(mount_ + folder + "/link" + std::to_string(i), target, i % 2 == 1);
    }
}

}  // namespace testing_ntfs
