#include "Windows1250.h"

#include <cerrno>
#include <iconv.h>

namespace korvod {

namespace {

// One conversion descriptor per direction and thread: iconv_t keeps shift
// state and is not to be shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in; on an input sequence it cannot convert returns false with
    // *stop at that sequence.
    bool Run(const std::string& in, std::string& out, size_t& stop) {
        out.clear();
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            stop = 0;
            return false;
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* source = const_cast<char*>(in.data());
        size_t left = in.size();
        char buffer[1024];
        while (left > 0) {
            char* target = buffer;
            size_t room = sizeof buffer;
            size_t r = iconv(cd, &source, &left, &target, &room);
            out.append(buffer, static_cast<size_t>(target - buffer));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) {
                stop = static_cast<size_t>(source - in.data());
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd;
};

size_t Utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

} // namespace

bool ToWindows1250(const std::string& utf8, std::string& out, std::string& badCharacter) {
    thread_local Converter converter("WINDOWS-1250", "UTF-8");
    size_t stop = 0;
    if (converter.Run(utf8, out, stop)) return true;
    badCharacter = utf8.substr(stop, Utf8Length(static_cast<unsigned char>(utf8[stop])));
    return false;
}

std::string FromWindows1250(const std::string& text) {
    thread_local Converter converter("UTF-8", "WINDOWS-1250");
    std::string out, piece;
    size_t done = 0;
    while (done < text.size()) {
        size_t stop = 0;
        std::string rest = text.substr(done);
        if (converter.Run(rest, piece, stop)) {
            out += piece;
            break;
        }
        out += piece;
        out += "\xEF\xBF\xBD";
        done += stop + 1;
    }
    return out;
}

} // namespace korvod
