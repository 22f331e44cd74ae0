// Films: the frames of a run piped as raw RGB into ffmpeg, which encodes
// them into a file beside the one asked for, renamed into place once whole.
#pragma once

#include <string>

#include <sys/types.h>

#include <allegro.h>

#include "settings.h"

enum class film_kind { mp4, webm, gif };

// The kinds a name may ask for, for messages.
extern const char film_extensions[];   // ".mp4, .webm or .gif"

// Whether the name's extension, whatever its case, asks for a film.
bool film_of_name(const std::string& name, film_kind& kind);

// One film under way at a time.
class film {
public:
    film() = default;
    // Stops ffmpeg and removes the unfinished film, unless finished.
    ~film();
    film(const film&) = delete;
    film& operator=(const film&) = delete;

    // Starts ffmpeg on a film of w x h pictures, fps a second, into a
    // temporary file beside path; an odd side is padded with pad, the
    // background. False, with why, when ffmpeg is not on PATH or the file
    // cannot be made.
    bool open(const std::string& path, film_kind kind, int w, int h, int fps, const rgb& pad, std::string& why);
    // Sends bmp, of the size given to open, as the next frame.
    bool add(BITMAP* bmp, std::string& why);
    // Ends the input, waits for ffmpeg and puts the film in place.
    bool finish(std::string& why);

private:
    void abandon();

    std::string path, temp;
    int input = -1;    // the pipe to ffmpeg's standard input
    pid_t encoder = -1;
};

// For the end of the program on a signal: stops ffmpeg and removes the
// unfinished film, if any. Safe in a signal handler.
void remove_unfinished_film();
