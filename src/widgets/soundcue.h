#pragma once

#include <QString>

class QObject;

// Plays a short wave file under the current directory, e.g. "/snd/test.wav".
// No file, or no audio device: nothing happens.
namespace soundcue {
extern const char *const test;   // "/snd/test.wav"
extern const char *const notify; // "/snd/notify.wav"

// Returns true when a file was found and handed to the audio output.
bool play(const QString &relativePath);
} // namespace soundcue
