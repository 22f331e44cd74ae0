// Picture files, for the program's Save image and for quorvane-render: the
// format chosen by the name's extension, and a save that never leaves a
// partial picture nor undoes what the user set up on the file it replaces.
#pragma once

#include <cstdint>
#include <string>

#include <sys/stat.h>

#include <allegro.h>

enum class picture_format { bmp, pcx, tga, png };

// The formats a name may ask for, for messages.
extern const char picture_extensions[];   // ".bmp, .pcx, .tga or .png"

// The format a file name asks for by its extension, whatever its case; a
// name without one is BMP. False for any other extension.
bool format_of_name(const std::string& name, picture_format& format);
// The format named by a word: "bmp", "pcx", "tga" or "png".
bool format_of_word(const std::string& word, picture_format& format);

// Writes bmp to fd in the given format, opaque; 0, or the errno of the
// failure. A PNG carries the settings (a settings_text) that it was drawn
// from, unless they are empty, and the program's name and version.
int write_picture(int fd, BITMAP* bmp, picture_format format, const std::string& settings);

// A picture saved under a name. A symbolic link is followed, also one that
// names no file yet: the picture goes to the file it names. A file the user
// may not write is refused, untouched.
//
// Where it keeps everything, the picture is written beside the file and
// renamed into place once complete, with the file's permissions, owner and
// group. Where a rename would lose something (other hard links to the file,
// its access list, its owner, a directory that may not be written, a FIFO or
// a device), the whole picture is made in memory first and then written
// into the file itself, once the disk has room for it: a disk too full
// leaves the file as it was.
//
// One picture file is under way at a time.
class picture_file {
public:
    picture_file() = default;
    // Removes the temporary file unless the picture was committed.
    ~picture_file();
    picture_file(const picture_file&) = delete;
    picture_file& operator=(const picture_file&) = delete;

    // Checks that the picture can go to path, whose extension must name a
    // format, and makes the temporary file when there is to be one. False,
    // with the system's reason in why, when it cannot.
    bool open(const std::string& path, std::string& why);
    // Writes bmp, with the settings it was drawn from as write_picture does,
    // and puts it in place. False, with the reason in why, when it could not
    // be written completely: a renamed file is then untouched.
    bool commit(BITMAP* bmp, const std::string& settings, std::string& why);

    // The file the picture goes to: the path, or the file its links name.
    const std::string& target() const { return final_path; }
    // Memory that commit holds beyond bmp's own, in bytes: a picture written
    // in place is held whole first.
    std::uint64_t commit_bytes(const BITMAP* bmp) const;

private:
    bool make_temporary(std::string& why);
    bool keep_owner_and_mode(const struct stat& old);
    bool write_in_place(BITMAP* bmp, const std::string& settings, std::string& why);
    void abandon();

    std::string final_path;
    bool in_place = false;
    bool regular = false;   // a regular file is written in place, else a FIFO or a device
    std::string temp;       // empty when no temporary file exists
    int fd = -1;
    picture_format format = picture_format::bmp;
};

// Removes the temporary file of the picture under way, if any, and waits for
// a picture being written into a regular file in place to be complete, so
// that an end of the program leaves either picture whole. Safe to call from
// a signal handler or any thread but the one that writes the picture.
void remove_unfinished_picture();
