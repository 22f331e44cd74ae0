// Picture files written in each format, and put in place without ever leaving a partial one.
#include "picture_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <png.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

const char picture_extensions[] = ".bmp, .pcx, .tga or .png";

namespace {

// The temporary file under way, for remove_unfinished_picture, which may run
// at any moment on any thread. Its name is rewritten only while no end reads
// it; once an end has begun to remove it, the process is ending and the name
// is never rewritten again.
enum { no_file, named, removing, removed };
char unfinished_path[PATH_MAX];
std::atomic<int> unfinished{no_file};
// Set while a picture is written into a regular file in place.
std::atomic<bool> copying{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "read in signal handlers");

void pause_briefly()
{
    const timespec millisecond{0, 1000000};
    nanosleep(&millisecond, nullptr);
}

// The name is no longer read by an end; when an end has begun, this thread
// waits for it to end the process.
void forget_unfinished()
{
    int state = named;
    if (!unfinished.compare_exchange_strong(state, no_file) && state != no_file)
        for (;;)
            pause();
}

bool remember_unfinished(const std::string& name)
{
    forget_unfinished();
    if (name.size() >= sizeof unfinished_path)
        return false;
    std::memcpy(unfinished_path, name.c_str(), name.size() + 1);
    unfinished.store(named);
    return true;
}

struct format_name {
    const char* word;
    picture_format format;
};
const format_name format_names[] = {
    {"bmp", picture_format::bmp}, {"pcx", picture_format::pcx},
    {"tga", picture_format::tga}, {"png", picture_format::png},
};

// Where a picture's bytes go: a buffer written out in blocks. After the
// first failed write the rest is dropped at no cost and its errno kept.
struct sink {
    int fd;
    int error = 0;
    std::vector<char> buffer = std::vector<char>(1 << 16);
    std::size_t used = 0;

    explicit sink(int fd) : fd(fd) {}

    void flush()
    {
        for (std::size_t done = 0; !error && done < used;) {
            const ssize_t wrote = write(fd, buffer.data() + done, used - done);
            if (wrote < 0 && errno != EINTR)
                error = errno;
            else if (wrote > 0)
                done += std::size_t(wrote);
        }
        used = 0;
    }

    void put(const void* bytes, std::size_t n)
    {
        const char* p = static_cast<const char*>(bytes);
        while (n > 0 && !error) {
            if (used == buffer.size())
                flush();
            const std::size_t part = std::min(n, buffer.size() - used);
            std::memcpy(buffer.data() + used, p, part);
            used += part;
            p += part;
            n -= part;
        }
    }
};

// The sink as an Allegro packfile, for the formats that Allegro writes.
// Allegro's own file writer retries a failed write at every byte that
// follows and does not report a failure of its last write.
sink& sink_of(void* userdata) { return *static_cast<sink*>(userdata); }
int sink_close(void* userdata)
{
    sink_of(userdata).flush();
    return sink_of(userdata).error ? EOF : 0;
}
int sink_putc(int c, void* userdata)
{
    const char byte = char(c);
    sink_of(userdata).put(&byte, 1);
    return sink_of(userdata).error ? EOF : c;
}
long sink_write(const void* p, long n, void* userdata)
{
    sink_of(userdata).put(p, std::size_t(n));
    return sink_of(userdata).error ? 0 : n;
}
int sink_error(void* userdata) { return sink_of(userdata).error; }
// Nothing is ever read back or skipped.
int sink_getc(void*) { return EOF; }
int sink_ungetc(int, void*) { return EOF; }
long sink_read(void*, long, void*) { return 0; }
int sink_seek(void*, int) { return -1; }
int sink_eof(void*) { return 1; }

const PACKFILE_VTABLE sink_vtable = {sink_close, sink_getc, sink_ungetc, sink_read, sink_putc,
                                     sink_write, sink_seek,  sink_eof,  sink_error};

int write_with_allegro(sink& out, BITMAP* bmp, int (*save)(PACKFILE*, BITMAP*, const RGB*))
{
    PACKFILE* f = pack_fopen_vtable(&sink_vtable, &out);
    if (!f)
        return ENOMEM;
    save(f, bmp, nullptr);
    pack_fclose(f);
    return 0;
}

// Row y as 8-bit components, blue first for BMP and TGA, red first for PNG.
void fill_row(BITMAP* bmp, int y, unsigned char* row, bool blue_first)
{
    const int depth = bitmap_color_depth(bmp);
    const int first = blue_first ? 2 : 0, last = 2 - first;
    if (depth == 32 && is_memory_bitmap(bmp)) {
        const std::uint32_t* pixels = reinterpret_cast<const std::uint32_t*>(bmp->line[y]);
        for (int x = 0; x < bmp->w; ++x, row += 3) {
            const int c = int(pixels[x]);
            row[first] = std::uint8_t(getr32(c));
            row[1] = std::uint8_t(getg32(c));
            row[last] = std::uint8_t(getb32(c));
        }
        return;
    }
    for (int x = 0; x < bmp->w; ++x, row += 3) {
        const int c = getpixel(bmp, x, y);
        row[first] = std::uint8_t(getr_depth(depth, c));
        row[1] = std::uint8_t(getg_depth(depth, c));
        row[last] = std::uint8_t(getb_depth(depth, c));
    }
}

void put_u16(unsigned char*& p, unsigned v)
{
    *p++ = std::uint8_t(v);
    *p++ = std::uint8_t(v >> 8);
}

void put_u32(unsigned char*& p, std::uint32_t v)
{
    put_u16(p, v & 0xFFFF);
    put_u16(p, v >> 16);
}

// Rows of blue, green and red bytes, from the first row by step (-1: from
// the last), each padded with zeros to row_bytes.
void put_rows(sink& out, BITMAP* bmp, std::size_t row_bytes, int step)
{
    std::vector<unsigned char> row(row_bytes, 0);
    for (int k = 0; k < bmp->h && !out.error; ++k) {
        fill_row(bmp, step > 0 ? k : bmp->h - 1 - k, row.data(), true);
        out.put(row.data(), row.size());
    }
}

// The bytes Allegro's save_bmp writes for a bitmap of 15 bits or more: a
// 24-bit BMP, rows bottom up, each padded to four bytes.
int write_bmp(sink& out, BITMAP* bmp)
{
    if (bitmap_color_depth(bmp) == 8)
        return write_with_allegro(out, bmp, save_bmp_pf);
    const std::uint32_t row_bytes = (std::uint32_t(bmp->w) * 3 + 3) & ~3u;
    const std::uint32_t image = row_bytes * std::uint32_t(bmp->h);
    unsigned char header[54], *p = header;
    *p++ = 'B';
    *p++ = 'M';
    put_u32(p, 54 + image);
    put_u32(p, 0);    // reserved
    put_u32(p, 54);   // where the pixels start
    put_u32(p, 40);   // size of the information header
    put_u32(p, std::uint32_t(bmp->w));
    put_u32(p, std::uint32_t(bmp->h));
    put_u16(p, 1);    // planes
    put_u16(p, 24);   // bits per pixel
    put_u32(p, 0);    // no compression
    put_u32(p, image);
    put_u32(p, 0xB12);   // 72 dots per inch, across and down
    put_u32(p, 0xB12);
    put_u32(p, 0);    // colours used
    put_u32(p, 0);    // important colours
    out.put(header, sizeof header);
    put_rows(out, bmp, row_bytes, -1);
    return 0;
}

// An uncompressed 24-bit TGA: no alpha channel that a viewer could take
// for transparency, and rows top down, as the readers that ignore the
// order bit take them.
int write_tga(sink& out, BITMAP* bmp)
{
    unsigned char header[18] = {}, *p = header + 12;
    header[2] = 2;   // true colour, uncompressed
    put_u16(p, unsigned(bmp->w));
    put_u16(p, unsigned(bmp->h));
    *p++ = 24;       // bits per pixel
    *p++ = 0x20;     // no alpha bits, rows top down
    out.put(header, sizeof header);
    put_rows(out, bmp, std::size_t(bmp->w) * 3, 1);
    return 0;
}

extern "C" void png_to_sink(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<sink*>(png_get_io_ptr(png))->put(data, length);
}

extern "C" void png_flush_nothing(png_structp) {}

// The settings as an iTXt chunk, which holds UTF-8, uncompressed so that any
// tool that lists a PNG's text shows them; and the program that made it.
void describe_png(png_structp png, png_infop info, const char* settings)
{
    static char settings_key[] = "quorvane", software_key[] = "Software";
    static char software[] = "Quorvane " QUORVANE_VERSION;
    png_text texts[2] = {};
    texts[0].compression = PNG_TEXT_COMPRESSION_NONE;
    texts[0].key = software_key;
    texts[0].text = software;
    texts[1].compression = PNG_ITXT_COMPRESSION_NONE;
    texts[1].key = settings_key;
    texts[1].text = const_cast<char*>(settings);
    png_set_text(png, info, texts, *settings ? 2 : 1);
}

// libpng reports its own failures (memory only: the sink keeps write
// errors) by a jump back here, past no destructor.
int write_png_rows(sink& out, BITMAP* bmp, unsigned char* row, const char* settings)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return ENOMEM;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return ENOMEM;
    }
    png_set_write_fn(png, &out, png_to_sink, png_flush_nothing);
    png_set_IHDR(png, info, png_uint_32(bmp->w), png_uint_32(bmp->h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The fastest compression, rows against the row above: about 100 MB of
    // pixels a second, a third of the time of any other choice, and a figure
    // is mostly background, so the file grows by a few per cent only.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    describe_png(png, info, settings);
    png_write_info(png, info);
    for (int y = 0; y < bmp->h && !out.error; ++y) {
        fill_row(bmp, y, row, false);
        png_write_row(png, row);
    }
    if (!out.error)
        png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return 0;
}

int write_png(sink& out, BITMAP* bmp, const std::string& settings)
{
    std::vector<unsigned char> row(std::size_t(bmp->w) * 3);
    return write_png_rows(out, bmp, row.data(), settings.c_str());
}

std::string extension_of(const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot == std::string::npos || dot <= base)
        return "";
    return name.substr(dot + 1);
}

std::string directory_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// A name beside path that no file has yet, most likely.
std::string temporary_name(const std::string& path)
{
    static std::mt19937 random{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string directory = directory_of(path);
    std::string name = directory + "." + path.substr(directory.size()) + ".";
    for (int i = 0; i < 6; ++i)
        name += letters[random() % (sizeof letters - 1)];
    return name;
}

bool failed(std::string& why, int error)
{
    why = std::strerror(error);
    return false;
}

// The file to create for path, which names none: path itself, or the file
// its chain of links ends at.
bool file_to_create(const std::string& path, std::string& target, std::string& why)
{
    target = path;
    for (int links = 0; links < 40; ++links) {   // as many as the system follows
        char text[PATH_MAX];
        const ssize_t length = readlink(target.c_str(), text, sizeof text);
        if (length < 0)
            return errno == ENOENT || failed(why, errno);
        if (std::size_t(length) == sizeof text)
            return failed(why, ENAMETOOLONG);
        const std::string link(text, std::size_t(length));
        target = link[0] == '/' ? link : directory_of(target) + link;
    }
    return failed(why, ELOOP);
}

bool has_access_list(const std::string& path)
{
    return getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

// Room on the disk for the first size bytes of the file, its size and
// content kept as they are: 0, or the errno of the refusal. A file system
// that cannot reserve must have free the space that the file lacks.
int reserve(int fd, std::size_t size)
{
    if (size == 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) == 0)
        return 0;
    struct stat file;
    struct statvfs disk;
    if ((errno != EOPNOTSUPP && errno != ENOSYS) || fstat(fd, &file) != 0 || fstatvfs(fd, &disk) != 0)
        return errno;
    const std::uint64_t held = std::uint64_t(file.st_blocks) * 512, room = std::uint64_t(disk.f_bavail) * disk.f_frsize;
    return size <= held || size - held <= room ? 0 : ENOSPC;
}

// Copies the size bytes into the file path in place of what it holds; 0 or
// the errno of the failure. A regular file is overwritten from its start and
// then cut to size, never emptied first: the room reserved beyond its end
// would go with its old blocks, and a disk too full for the picture then
// refuses it before the file is touched.
int copy_into(const std::string& path, bool regular, const char* bytes, std::size_t size)
{
    const int to = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (to < 0)
        return errno;
    int failure = regular ? reserve(to, size) : 0;
    copying = regular && !failure;
    for (std::size_t done = 0; !failure && done < size;) {
        const ssize_t wrote = write(to, bytes + done, size - done);
        if (wrote < 0 && errno != EINTR)
            failure = errno;
        else if (wrote > 0)
            done += std::size_t(wrote);
    }
    if (!failure && regular && ftruncate(to, off_t(size)) != 0)
        failure = errno;
    // FIFOs and character devices keep nothing to flush.
    if (!failure && fsync(to) != 0 && errno != EINVAL)
        failure = errno;
    if (close(to) != 0 && !failure)
        failure = errno;
    copying = false;
    return failure;
}

}

bool format_of_word(const std::string& word, picture_format& format)
{
    for (const format_name& f : format_names)
        if (word == f.word) {
            format = f.format;
            return true;
        }
    return false;
}

bool format_of_name(const std::string& name, picture_format& format)
{
    std::string extension = extension_of(name);
    if (extension.empty()) {
        format = picture_format::bmp;
        return true;
    }
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return format_of_word(extension, format);
}

int write_picture(int fd, BITMAP* bmp, picture_format format, const std::string& settings)
{
    sink out(fd);
    int failure = 0;
    switch (format) {
    case picture_format::bmp: failure = write_bmp(out, bmp); break;
    case picture_format::png: failure = write_png(out, bmp, settings); break;
    case picture_format::pcx: failure = write_with_allegro(out, bmp, save_pcx_pf); break;
    case picture_format::tga: failure = write_tga(out, bmp); break;
    }
    out.flush();
    return failure ? failure : out.error;
}

void remove_unfinished_picture()
{
    int state = named;
    if (unfinished.compare_exchange_strong(state, removing)) {
        unlink(unfinished_path);
        unfinished = removed;
    }
    while (unfinished == removing || copying)
        pause_briefly();
}

picture_file::~picture_file()
{
    abandon();
}

void picture_file::abandon()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    if (!temp.empty()) {
        unlink(temp.c_str());
        forget_unfinished();
        temp.clear();
    }
}

bool picture_file::open(const std::string& path, std::string& why)
{
    abandon();
    in_place = regular = false;
    if (!format_of_name(path, format)) {
        why = std::string("The extension must be ") + picture_extensions + ".";
        return false;
    }
    struct stat old;
    if (stat(path.c_str(), &old) != 0) {
        if (errno != ENOENT)
            return failed(why, errno);
        regular = true;
        return file_to_create(path, final_path, why) && make_temporary(why);
    }
    if (S_ISDIR(old.st_mode))
        return failed(why, EISDIR);
    if (!S_ISREG(old.st_mode) && !S_ISFIFO(old.st_mode) && !S_ISCHR(old.st_mode) && !S_ISBLK(old.st_mode)) {
        why = "it is not a file, a FIFO or a device";
        return false;
    }
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        return failed(why, errno);
    regular = S_ISREG(old.st_mode);
    final_path = path;
    if (regular) {
        char* real = realpath(path.c_str(), nullptr);
        if (!real)
            return failed(why, errno);
        final_path = real;
        std::free(real);
    }
    in_place = !regular || old.st_nlink > 1 || has_access_list(final_path) || !make_temporary(why) ||
               !keep_owner_and_mode(old);
    if (in_place)
        abandon();
    return true;
}

bool picture_file::make_temporary(std::string& why)
{
    for (int tries = 0; tries < 100; ++tries) {
        temp = temporary_name(final_path);
        if (!remember_unfinished(temp)) {
            temp.clear();
            return failed(why, ENAMETOOLONG);
        }
        // A new file takes the mode that the umask leaves, as any new file.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return true;
        const int error = errno;
        forget_unfinished();
        temp.clear();
        if (error != EEXIST)
            return failed(why, error);
    }
    return failed(why, EEXIST);
}

// The owner first: a change of owner clears the set-user-ID bit.
bool picture_file::keep_owner_and_mode(const struct stat& old)
{
    struct stat made;
    if (fstat(fd, &made) != 0)
        return false;
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return fchmod(fd, old.st_mode & 07777) == 0;
}

bool picture_file::commit(BITMAP* bmp, const std::string& settings, std::string& why)
{
    if (in_place)
        return write_in_place(bmp, settings, why);
    int failure = write_picture(fd, bmp, format, settings);
    if (!failure && fsync(fd) != 0)
        failure = errno;
    if (close(fd) != 0 && !failure)
        failure = errno;
    fd = -1;
    if (!failure && rename(temp.c_str(), final_path.c_str()) != 0)
        failure = errno;
    if (failure)
        return failed(why, failure);
    forget_unfinished();
    temp.clear();
    return true;
}

bool picture_file::write_in_place(BITMAP* bmp, const std::string& settings, std::string& why)
{
    const int whole = memfd_create("picture", MFD_CLOEXEC);
    if (whole < 0)
        return failed(why, errno);
    int failure = write_picture(whole, bmp, format, settings);
    const off_t size = lseek(whole, 0, SEEK_CUR);
    void* bytes = MAP_FAILED;
    if (!failure && size > 0 && (bytes = mmap(nullptr, std::size_t(size), PROT_READ, MAP_SHARED, whole, 0)) == MAP_FAILED)
        failure = errno;
    if (!failure)
        failure = copy_into(final_path, regular, static_cast<const char*>(bytes), std::size_t(size));
    if (bytes != MAP_FAILED)
        munmap(bytes, std::size_t(size));
    close(whole);
    return failure == 0 || failed(why, failure);
}

std::uint64_t picture_file::commit_bytes(const BITMAP* bmp) const
{
    // Run-length PCX at its worst doubles the three bytes of a pixel.
    return in_place ? 2 * (std::uint64_t(bmp->w) * 3 + 4) * std::uint64_t(bmp->h) + 65536 : 0;
}
