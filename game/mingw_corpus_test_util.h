// Test helper: the code sections of the real 32-bit objects on this machine (mingw i686
// static libraries and two linked DLLs), read with a small ar/COFF/PE reader. Host tests only.
#pragma once

#include <glob.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace hm::mingw_corpus {

// ---- corpus: code sections of i386 COFF objects inside ar archives ------------------------------

struct CodeSection {
    std::string where;  // archive(member):section
    std::vector<uint8_t> bytes;
};

inline uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// `header` is the COFF file header's offset: 0 in an object, after the PE signature in an image.
inline void AddCoffCodeSections(const std::string& where, const uint8_t* obj, size_t size, size_t header,
                         std::vector<CodeSection>* out) {
    if (size < header + 20 || Le16(obj + header) != 0x14C) return;  // i386 only (skips short import records)
    const unsigned sections = Le16(obj + header + 2);
    const size_t headers = header + 20 + Le16(obj + header + 16);
    for (unsigned i = 0; i < sections; ++i) {
        const size_t h = headers + i * 40;
        if (h + 40 > size) return;
        uint32_t raw_size = Le32(obj + h + 16);
        const uint32_t raw_at = Le32(obj + h + 20), virtual_size = Le32(obj + h + 8);
        if (header != 0 && virtual_size != 0 && virtual_size < raw_size) raw_size = virtual_size;  // file padding
        const uint32_t characteristics = Le32(obj + h + 36);
        if (!(characteristics & 0x20) || raw_size == 0 || raw_at == 0) continue;  // code only
        if (raw_at > size || raw_size > size - raw_at) continue;
        out->push_back({where + ":" + std::string(reinterpret_cast<const char*>(obj + h), strnlen(reinterpret_cast<const char*>(obj + h), 8)),
                        std::vector<uint8_t>(obj + raw_at, obj + raw_at + raw_size)});
    }
}

inline void AddFile(const std::string& path, std::vector<CodeSection>* out) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> a((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (a.size() > 0x40 && a[0] == 'M' && a[1] == 'Z') {  // linked DLL
        const uint32_t pe = Le32(&a[0x3C]);
        if (pe + 4 < a.size() && memcmp(&a[pe], "PE\0\0", 4) == 0) AddCoffCodeSections(path, a.data(), a.size(), pe + 4, out);
        return;
    }
    if (a.size() < 8 || memcmp(a.data(), "!<arch>\n", 8) != 0) return;
    size_t at = 8;
    while (at + 60 <= a.size()) {
        const std::string name(reinterpret_cast<const char*>(&a[at]), 16);
        const size_t size = std::strtoul(std::string(reinterpret_cast<const char*>(&a[at + 48]), 10).c_str(), nullptr, 10);
        const size_t data = at + 60;
        if (data + size > a.size()) break;
        if (name[0] != '/') AddCoffCodeSections(path + "(" + name.substr(0, name.find('/')) + ")", &a[data], size, 0, out);
        else if (name[1] != ' ' && name[1] != '/') AddCoffCodeSections(path + "(" + name + ")", &a[data], size, 0, out);
        at = data + size + (size & 1);
    }
}

inline std::vector<std::string> Glob(const char* pattern) {
    std::vector<std::string> paths;
    glob_t g{};
    if (glob(pattern, 0, nullptr, &g) == 0)
        for (size_t i = 0; i < g.gl_pathc; ++i) paths.push_back(g.gl_pathv[i]);
    globfree(&g);
    return paths;
}

// Static libraries with real code in them (runtime, C++ library, math, threads; import
// libraries hold only thunks and are left out except the C runtime's), plus two linked DLLs
// whose code is not in any of those archives (Fortran and Objective-C runtimes).
inline std::vector<std::string> CorpusFiles() {
    std::vector<std::string> paths;
    for (const char* pattern : {
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libstdc++.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libstdc++fs.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libgcc.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libgcc_eh.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libquadmath.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libgomp.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libatomic.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libssp.a",
             "/usr/i686-w64-mingw32/lib/libmingwex.a",
             "/usr/i686-w64-mingw32/lib/libmingw32.a",
             "/usr/i686-w64-mingw32/lib/libwinpthread.a",
             "/usr/i686-w64-mingw32/lib/libmsvcrt.a",
             "/usr/i686-w64-mingw32/lib/libdxerr9.a",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libgfortran-5.dll",
             "/usr/lib/gcc/i686-w64-mingw32/*-posix/libobjc-4.dll",
         })
        for (const std::string& p : Glob(pattern)) paths.push_back(p);
    return paths;
}

inline std::vector<CodeSection> LoadCorpus() {
    std::vector<CodeSection> corpus;
    for (const std::string& path : CorpusFiles()) AddFile(path, &corpus);
    return corpus;
}

}  // namespace hm::mingw_corpus
