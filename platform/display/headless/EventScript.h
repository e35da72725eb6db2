// The headless backend's event script: one command a line, read whole and checked before anything
// runs, then played against the clock.
//
//   down X Y | move X Y | up X Y     pen at screen point X, Y
//   tap X Y                          down, 50 ms, up
//   drag X1 Y1 X2 Y2 MS              down, a move every 16 ms along the line, up after MS
//   key VK                           key down and up: a number (decimal or 0x hex) or a name
//   char C                           one character message: the character, SPACE or U+XXXX
//   text STRING                      one character message per character of the rest of the line
//   wait MS                          the next command comes MS later
//   shot FILE.png | dump FILE        screenshot / screen description (relative to the script's folder)
//   close                            the close message to the foreground top-level window
//   quit                             ends the run: every message loop gets 0
//
// Blank lines and lines whose first non-blank character is '#' are skipped. Times are relative to
// the previous command. A script is at most 4 MB, a line at most 64 KB and the expanded script at
// most a million steps; a larger one is refused whole.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <vector>

struct ScriptStep {
    enum class Kind { PenDown, PenMove, PenUp, KeyDown, KeyUp, Char, Shot, Dump, Close, Quit };
    Kind kind = Kind::Quit;
    DWORD at = 0; // milliseconds after the script starts
    int x = 0;
    int y = 0;
    UINT code = 0;    // virtual key, or a UTF-16 unit for Char
    std::string path; // Shot and Dump: host path
    int line = 0;
};

constexpr size_t kMaxEventScriptBytes = 4 << 20;
constexpr size_t kMaxEventScriptLineBytes = 64 << 10;

// Reads a script file whole. Only a regular file is a script: a pipe would wait for a writer and a
// folder has no lines. A file over kMaxEventScriptBytes gives its first kMaxEventScriptBytes + 1
// bytes, which the parser then refuses with the line where the limit was passed. False with
// *error, such as "the script /x is a folder, not a file".
bool ReadEventScriptFile(const std::string& path, std::string* text, std::string* error);

// Parses a whole script. baseDir resolves relative file names (empty: as written). On failure
// returns false and *error names the line: "line 3: unknown command 'tapp'".
bool ParseEventScript(const std::string& text, const std::string& baseDir, std::vector<ScriptStep>* steps,
                      std::string* error);

// Key names the script knows (RETURN, BACK, ...), for the key command; 0 when unknown.
UINT ScriptKeyByName(const std::string& name);

// Plays steps against a clock: Start fixes time zero, Due steps are released in order.
class ScriptPlayer {
public:
    void Load(std::vector<ScriptStep> steps) {
        m_steps = std::move(steps);
        m_next = 0;
        m_started = false;
    }
    void Start(DWORD now) {
        if (!m_started) {
            m_started = true;
            m_zero = now;
        }
    }
    bool Started() const { return m_started; }
    bool Done() const { return m_next >= m_steps.size(); }
    // The clock time of the next step; INFINITE when done or not started.
    DWORD NextTime() const { return (!m_started || Done()) ? INFINITE : m_zero + m_steps[m_next].at; }
    // The next step when it is due at now, else null; Pop moves past it.
    const ScriptStep* PeekDue(DWORD now) const {
        if (!m_started || Done())
            return nullptr;
        DWORD t = m_zero + m_steps[m_next].at;
        return static_cast<int32_t>(now - t) >= 0 ? &m_steps[m_next] : nullptr;
    }
    void Pop() { m_next++; }
    DWORD TimeOf(const ScriptStep& s) const { return m_zero + s.at; }
    // Drops the rest (after quit).
    void Finish() { m_next = m_steps.size(); }

private:
    std::vector<ScriptStep> m_steps;
    size_t m_next = 0;
    bool m_started = false;
    DWORD m_zero = 0;
};
