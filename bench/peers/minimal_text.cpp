// The least a program can do to write quadrix-batch's default output for a
// list of plain addresses, in the default embedding and text: read the file,
// split it into lines, measure the columns, write every row's four forms
// padded to their columns. No Qt, no checks beyond what the output needs,
// no error reports: the floor the tool's text export is measured against.
//
//     quadrix-minimal-text [--durable] LIST OUTPUT
//
// With --durable it also does what the tool does to keep the old file until
// the new one is whole: it writes a file beside OUTPUT, syncs it, renames it
// over OUTPUT and syncs the folder.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<std::string_view, 5> Captions { "Original", " IPv6 Full Address",
                                                     " IPv6 Shorthand Address",
                                                     " IPv6 and Dot Notation Full Address",
                                                     " IPv6 and Dot Notation Shorthand Address" };
constexpr std::string_view ZeroGroups = "0000:0000:0000:0000:0000:0000:";

// The eight hex digits of the address's parts, as forms 1 and 2 take them.
bool hexDigits(std::string_view address, char* out)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    int parts = 0;
    unsigned value = 0;
    bool digits = false;
    for (size_t i = 0; i <= address.size(); ++i) {
        if (i == address.size() || address[i] == '.') {
            if (!digits || value > 255 || parts == 4)
                return false;
            out[2 * parts] = Hex[value >> 4];
            out[2 * parts + 1] = Hex[value & 15];
            ++parts;
            value = 0;
            digits = false;
        } else if (address[i] >= '0' && address[i] <= '9') {
            value = value * 10 + unsigned(address[i] - '0');
            digits = true;
            if (value > 255)
                return false;
        } else {
            return false;
        }
    }
    return parts == 4;
}

void pad(std::string& out, size_t length, size_t width)
{
    out.append(width - length, ' ');
    out += '\t';
}

} // namespace

int main(int argc, char** argv)
{
    const bool durable = argc == 4 && std::string_view(argv[1]) == "--durable";
    if (argc != 3 && !durable) {
        std::fprintf(stderr, "usage: quadrix-minimal-text [--durable] LIST OUTPUT\n");
        return 2;
    }
    if (durable)
        ++argv;
    const std::string target = argv[2];
    const std::string written = durable ? target + ".new" : target;
    std::ifstream input(argv[1], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    std::vector<std::string_view> rows;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        rows.push_back(line);
        start = end + 1;
    }

    std::array<size_t, 5> widths {};
    for (size_t k = 0; k < Captions.size(); ++k)
        widths[k] = Captions[k].size();
    for (std::string_view row : rows) {
        widths[0] = std::max(widths[0], row.size());
        widths[3] = std::max(widths[3], ZeroGroups.size() + row.size());
        widths[4] = std::max(widths[4], 2 + row.size());
    }
    widths[1] = std::max(widths[1], ZeroGroups.size() + 9);
    widths[2] = std::max(widths[2], size_t(11));

    std::FILE* output = std::fopen(written.c_str(), "wb");
    if (!output)
        return 2;
    std::string out;
    for (size_t k = 0; k < Captions.size(); ++k) {
        out += Captions[k];
        pad(out, Captions[k].size(), widths[k]);
    }
    out += "\r\n";
    char digits[8];
    for (std::string_view row : rows) {
        out += row;
        pad(out, row.size(), widths[0]);
        if (hexDigits(row, digits)) {
            out += ZeroGroups;
            out.append(digits, 4) += ':';
            out.append(digits + 4, 4);
            pad(out, ZeroGroups.size() + 9, widths[1]);
            out += "::";
            out.append(digits, 4) += ':';
            out.append(digits + 4, 4);
            pad(out, 11, widths[2]);
        } else {
            pad(out, 0, widths[1]);
            pad(out, 0, widths[2]);
        }
        out += ZeroGroups;
        out += row;
        pad(out, ZeroGroups.size() + row.size(), widths[3]);
        out += "::";
        out += row;
        pad(out, 2 + row.size(), widths[4]);
        out += "\r\n";
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), output);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), output);
    if (!durable)
        return std::fclose(output) == 0 ? 0 : 2;
    if (std::fflush(output) != 0 || ::fsync(::fileno(output)) != 0 || std::fclose(output) != 0
        || std::rename(written.c_str(), target.c_str()) != 0)
        return 2;
    const size_t slash = target.rfind('/');
    const int folder
        = ::open(slash == std::string::npos ? "." : target.substr(0, slash + 1).c_str(), O_RDONLY);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0)
        ::close(folder);
    return synced ? 0 : 2;
}
