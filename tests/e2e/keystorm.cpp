/*
 * Writes a key storm for a real terminal into files of at most 1000 bytes,
 * each to be sent at once (a neutral storm's files end where a key or a
 * sequence ends), and prints how many files it wrote.
 *
 * Usage: keystorm neutral|random SEED BYTES DIRECTORY
 */
#include "keystorm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const std::size_t FileBytes = 1000;

static bool WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

/* Cuts the pieces into files, never inside a piece; returns the count, or -1 on failure. */
static int WriteFiles(const StormPieces &pieces, const std::string &directory)
{
    int files = 0;
    std::string bytes;
    for (size_t i = 0; i <= pieces.size(); i++) {
        bool last = i == pieces.size();
        if (!bytes.empty() && (last || bytes.size() + pieces[i].size() > FileBytes)) {
            char name[32];
            std::snprintf(name, sizeof name, "/storm-%03d", files++);
            if (!WriteFile(directory + name, bytes))
                return -1;
            bytes.clear();
        }
        if (!last)
            bytes += pieces[i];
    }
    return files;
}

int main(int argc, char **argv)
{
    if (argc != 5 ||
        (std::strcmp(argv[1], "neutral") != 0 && std::strcmp(argv[1], "random") != 0)) {
        std::fprintf(stderr, "usage: keystorm neutral|random SEED BYTES DIRECTORY\n");
        return 2;
    }
    unsigned seed = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    std::size_t bytes = std::strtoul(argv[3], nullptr, 10);
    StormPieces pieces;
    if (std::strcmp(argv[1], "neutral") == 0) {
        pieces = NeutralStorm(seed, bytes, true);
    } else {
        std::string storm = RandomStorm(seed, bytes, true);
        for (size_t at = 0; at < storm.size(); at += FileBytes)
            pieces.push_back(storm.substr(at, FileBytes));
    }
    int files = WriteFiles(pieces, argv[4]);
    if (files < 0) {
        std::perror(argv[4]);
        return 1;
    }
    std::printf("%d\n", files);
    return 0;
}
