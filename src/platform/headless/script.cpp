#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/headless/headless.h"

namespace {

struct KeyName {
    const char* name;
    int32_t code;
};

const KeyName keyNames[] = {
    {"esc", KEY_ESCAPE}, {"end", KEY_END},     {"home", KEY_HOME},   {"left", KEY_LEFT},     {"up", KEY_UP},
    {"right", KEY_RIGHT}, {"down", KEY_DOWN}, {"ins", KEY_INSERT}, {"del", KEY_DELETE}, {"f12", KEY_F12},
    {"pgup", KEY_PAGEUP}, {"pgdn", KEY_PAGEDOWN}, {"f", KEY_F},    {"t", KEY_T},
    {"+", KEY_PLUS},      {"-", KEY_MINUS},       {"kp+", KEY_ADD},    {"kp-", KEY_SUBTRACT}, {"p", KEY_P},
    {"r", KEY_R},         {"back", KEY_BACK},     {"f9", KEY_F9},       {"e", KEY_E},          {"s", KEY_S},
    {"z", KEY_Z},         {"g", KEY_G},           {"h", KEY_H},         {"enter", KEY_RETURN}, {"c", KEY_C},
    {"0", KEY_0},         {"1", KEY_0 + 1},       {"2", KEY_0 + 2},     {"3", KEY_0 + 3},      {"4", KEY_0 + 4},
    {"5", KEY_0 + 5},     {"6", KEY_0 + 6},       {"7", KEY_0 + 7},     {"8", KEY_0 + 8},      {"9", KEY_0 + 9},
};

enum { MAX_WORDS = 6, MAX_WORD = 32, MAX_DRAG_STEPS = 10000 };

// Reads a decimal integer (optionally signed) that fills the whole word and
// lies within [low, high].
int parseInteger(const char* word, long low, long high, int32_t* value)
{
    char* end;
    errno = 0;
    const long n = strtol(word, &end, 10);
    if (end == word || *end != '\0' || errno != 0 || n < low || n > high)
        return 0;
    *value = (int32_t)n;
    return 1;
}

// "0x" or "0X" and one or two hexadecimal digits.
int parseKeyCode(const char* word, int32_t* code)
{
    if (word[0] != '0' || (word[1] != 'x' && word[1] != 'X') || word[2] == '\0')
        return 0;
    int32_t value = 0;
    int digits = 0;
    for (const char* c = word + 2; *c; c++, digits++) {
        int32_t d;
        if (*c >= '0' && *c <= '9')
            d = *c - '0';
        else if (*c >= 'a' && *c <= 'f')
            d = *c - 'a' + 10;
        else if (*c >= 'A' && *c <= 'F')
            d = *c - 'A' + 10;
        else
            return 0;
        if (digits == 2)
            return 0;
        value = value * 16 + d;
    }
    *code = value;
    return 1;
}

int parseKey(const char* word, int32_t* code, int32_t* control)
{
    *control = strncmp(word, "ctrl+", 5) == 0;
    if (*control)
        word += 5;
    for (const KeyName& key : keyNames) {
        if (strcmp(word, key.name) == 0) {
            *code = key.code;
            return 1;
        }
    }
    return parseKeyCode(word, code);
}

// Parses the words of one line into a step; returns 0 when they make none.
int parseStep(char words[MAX_WORDS][MAX_WORD], int wordCount, ScriptStep* step)
{
    memset(step, 0, sizeof *step);
    step->count = 1;
    if (strcmp(words[0], "tick") == 0) {
        step->kind = SCRIPT_TICK;
        return wordCount == 1 || (wordCount == 2 && parseInteger(words[1], 0, SCRIPT_MAX_COUNT, &step->count));
    }
    if (strcmp(words[0], "key") == 0) {
        step->kind = SCRIPT_KEY;
        if (wordCount < 2 || wordCount > 3 || !parseKey(words[1], &step->code, &step->dx))
            return 0;
        return wordCount == 2 || parseInteger(words[2], 0, SCRIPT_MAX_COUNT, &step->count);
    }
    if (strcmp(words[0], "mouse") == 0) {
        step->kind = SCRIPT_MOUSE;
        return wordCount == 3 && parseInteger(words[1], -SCRIPT_MAX_OFFSET, SCRIPT_MAX_OFFSET, &step->dx) &&
               parseInteger(words[2], -SCRIPT_MAX_OFFSET, SCRIPT_MAX_OFFSET, &step->dy);
    }
    if (strcmp(words[0], "click") == 0 || strcmp(words[0], "drag") == 0) {
        const int drag = words[0][0] == 'd';
        const int numbers = drag ? 4 : 2;
        int32_t at[4];
        int32_t steps = drag ? 1 : 0;
        if (wordCount != 1 + numbers && !(drag && wordCount == 6))
            return 0;
        for (int i = 0; i < numbers; i++)
            if (!parseInteger(words[1 + i], INT16_MIN, INT16_MAX, &at[i]))
                return 0;
        if (wordCount == 6 && !parseInteger(words[5], 1, MAX_DRAG_STEPS, &steps))
            return 0;
        step->kind = SCRIPT_DRAG;
        step->count = steps + 2;
        step->dx = at[0];
        step->dy = at[1];
        step->code = (int32_t)pointerParam(at[numbers - 2], at[numbers - 1]);
        return 1;
    }
    return 0;
}

// Copies a dropped file's path, zero-terminated, to the end of the script's
// names; its offset there goes to *offset.
int appendName(Script* script, const char* name, size_t length, int32_t* offset)
{
    const size_t need = script->namesUsed + length + 1;
    if (need > INT32_MAX)
        return 0;
    if (need > script->namesCapacity) {
        size_t capacity = script->namesCapacity ? script->namesCapacity : 256;
        while (capacity < need)
            capacity *= 2;
        char* names = (char*)heapRealloc(script->names, capacity);
        if (!names)
            return 0;
        script->names = names;
        script->namesCapacity = capacity;
    }
    *offset = (int32_t)script->namesUsed;
    memcpy(script->names + script->namesUsed, name, length);
    script->names[script->namesUsed + length] = '\0';
    script->namesUsed = need;
    return 1;
}

int isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// "drop FILE" between pos and end: FILE is the rest of the line less the
// blanks around it, so a path may hold blanks. Returns 0 when the line is
// another step, else 1 with *bad set when FILE is empty, too long or holds a
// zero byte.
int dropLine(const char* text, size_t pos, size_t end, size_t* from, size_t* length, int* bad)
{
    while (pos < end && isBlank(text[pos]))
        pos++;
    if (end - pos < 5 || memcmp(text + pos, "drop", 4) != 0 || !isBlank(text[pos + 4]))
        return 0;
    pos += 4;
    while (pos < end && isBlank(text[pos]))
        pos++;
    while (end > pos && isBlank(text[end - 1]))
        end--;
    *from = pos;
    *length = end - pos;
    *bad = *length == 0 || *length > SCRIPT_MAX_PATH || memchr(text + pos, '\0', *length) != nullptr;
    return 1;
}

int appendStep(Script* script, const ScriptStep* step)
{
    if (script->stepCount == script->capacity) {
        if (script->capacity > INT32_MAX / 2)
            return 0;
        const int32_t capacity = script->capacity ? script->capacity * 2 : 16;
        ScriptStep* steps = (ScriptStep*)heapRealloc(script->steps, (size_t)capacity * sizeof(ScriptStep));
        if (!steps)
            return 0;
        script->steps = steps;
        script->capacity = capacity;
    }
    script->steps[script->stepCount++] = *step;
    return 1;
}

} // namespace

int scriptParse(const char* text, size_t size, Script* script, char* error, size_t errorSize)
{
    memset(script, 0, sizeof *script);
    if (errorSize)
        error[0] = '\0';
    size_t pos = 0;
    for (long line = 1; pos < size; line++) {
        size_t end = pos;
        while (end < size && text[end] != '\n')
            end++;

        // Split the line into blank-separated words; a '#' first starts a comment.
        char words[MAX_WORDS][MAX_WORD];
        int wordCount = 0;
        int bad = 0;
        int noMemory = 0;
        ScriptStep step = {SCRIPT_DROP, 1, 0, 0, 0};
        size_t i = pos;
        size_t nameFrom, nameLength;
        const int isDrop = dropLine(text, pos, end, &nameFrom, &nameLength, &bad);
        if (isDrop) {
            noMemory = !bad && !appendName(script, text + nameFrom, nameLength, &step.code);
            wordCount = 1;
            i = end;
        }
        while (i < end && !bad) {
            while (i < end && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r'))
                i++;
            if (i == end || (wordCount == 0 && text[i] == '#'))
                break;
            size_t length = 0;
            while (i < end && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
                // A zero byte or an over-long word cannot belong to any step.
                if (wordCount == MAX_WORDS || length + 1 == MAX_WORD || text[i] == '\0') {
                    bad = 1;
                    break;
                }
                words[wordCount][length++] = text[i++];
            }
            if (!bad)
                words[wordCount++][length] = '\0';
        }

        if (!bad && !isDrop && wordCount > 0 && !parseStep(words, wordCount, &step))
            bad = 1;
        if (bad || noMemory || (wordCount > 0 && !appendStep(script, &step))) {
            if (errorSize)
                snprintf(error, errorSize, "line %ld: %s", line,
                         bad ? "expected tick [N], key NAME [N], mouse DX DY, click X Y, drag X1 Y1 X2 Y2 [STEPS] or drop FILE" : "out of memory");
            scriptRelease(script);
            return 0;
        }
        pos = end + 1;
    }
    return 1;
}

void scriptRelease(Script* script)
{
    heapFree(script->steps);
    heapFree(script->names);
    memset(script, 0, sizeof *script);
}
