// Picture files, for the program's Save image and for quorvane-render: the
// format chosen by the name's extension, and a file that appears under its
// name only once completely written.
#pragma once

#include <string>

#include <allegro.h>

enum class picture_format { bmp, pcx, tga, png };

// The formats a name may ask for, for messages.
extern const char picture_extensions[];   // ".bmp, .pcx, .tga or .png"

// The format a file name asks for by its extension, whatever its case; a
// name without one is BMP. False for any other extension.
bool format_of_name(const std::string& name, picture_format& format);
// The format named by a word: "bmp", "pcx", "tga" or "png".
bool format_of_word(const std::string& word, picture_format& format);

// Writes bmp to fd in the given format; 0, or the errno of the failure.
int write_picture(int fd, BITMAP* bmp, picture_format format);

// A picture written beside its final name and renamed into place once
// complete, so that a failed or interrupted save never leaves a partial
// picture under that name. A link is followed: the picture replaces the file
// it names and the link stays. A file that is replaced keeps its permission
// bits. One picture file is under way at a time.
class picture_file {
public:
    picture_file() = default;
    // Removes the temporary file unless the picture was committed.
    ~picture_file();
    picture_file(const picture_file&) = delete;
    picture_file& operator=(const picture_file&) = delete;

    // Makes the temporary file for path, whose extension must name a format.
    // False, with the reason in why, when it cannot be made.
    bool open(const std::string& path, std::string& why);
    // Writes bmp and puts it in place. False, with the reason in why, when
    // it could not be written completely; the final name is then untouched.
    bool commit(BITMAP* bmp, std::string& why);

    // The file the picture goes to: the path, or the file its link names.
    const std::string& target() const { return final_path; }

private:
    void abandon();

    std::string final_path;
    std::string temp;   // empty when no temporary file exists
    int fd = -1;
    mode_t mode = 0;
    picture_format format = picture_format::bmp;
};

// Removes the temporary file of the picture under way, if any. Safe to call
// from a signal handler.
void remove_unfinished_picture();
