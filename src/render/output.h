// The picture file: written beside its final name and renamed into place
// only once complete, so that a failed or interrupted run never leaves a
// partial picture under that name.
#pragma once

#include <string>

#include <allegro.h>

class output_file {
public:
    // Creates the temporary file next to path. Throws usage_error when the
    // path cannot be written, so that a bad path is known before the
    // computation starts.
    explicit output_file(const std::string& path);
    // Removes the temporary file unless the picture was committed.
    ~output_file();
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    // Saves bmp as a BMP file under the final name. False, with the reason
    // in error, when it could not be written completely; the final name is
    // then untouched.
    bool commit(BITMAP* bmp, std::string& error);

    const std::string& path() const { return target; }

private:
    std::string target;   // the name the picture gets
    std::string temp;     // where it is written first
    int fd;               // the temporary file, kept open to flush it to disk
};
