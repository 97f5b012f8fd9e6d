// veltrix-pattern FILE [--board] [--at X Y] [--keep-rules]: converts a pattern
// file into Life.ini and Rules.ini in the current folder, on the universe its
// rule names or (--board) on the 64 x 64 board, and prints a summary. Exit code
// 0 on success (and for --help), 1 when anything is refused; then no file is
// written.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pattern/pattern.h"
#include "platform/platform.h"

static const char usage[] = "usage: veltrix-pattern FILE [--board] [--at X Y] [--keep-rules]\n";

static void printHelp()
{
    printf("%s", usage);
    printf("Converts a pattern into Life.ini and Rules.ini in the current folder.\n"
           "\n"
           "Formats, told from the first lines (else from the extension):\n"
           "  run-length encoded (.rle)   header 'x = W, y = H, rule = R', runs of b, o and $, closed by !;\n"
           "                              of more states: . and A to X, pA to yO for states 25 to 255\n"
           "  plaintext (.cells)          rows of . and O; lines starting with ! are comments\n"
           "  Life 1.05 (.lif)            '#Life 1.05', '#P x y' blocks of . and * rows, #N or #R rules\n"
           "  Life 1.06 (.lif, .life)     '#Life 1.06', then one 'x y' pair per live cell\n"
           "  XLife (.l, .life)           '#P x y' pictures of * rows, '#A'/'#R x y' coordinate lists,\n"
           "                              '#B name'..'#E' blocks placed by '#I :name x y rotation flip'\n"
           "  dblife                      '!' first line, rows with counts such as 12.O2.O\n"
           "  macrocell (.mc)             '[M2]', two-state 8 x 8 leaves and quadtree nodes\n"
           "  MCell (.mcl)                '#MCell', #GAME, #RULE, #BOARD, #WRAP, runs of . and A to X in #L lines\n"
           "Any of them may be gzip-compressed%s.\n"
           "Lines may end in LF, CRLF or CR; a byte-order mark and a final Ctrl-Z are skipped.\n"
           "\n"
           "Universe (the default): every cell is kept where the file puts it, as bgolly places it: a\n"
           "coordinate list's own coordinates, a macrocell square centred on (0, 0), an RLE's\n"
           "'#CXRLE Pos=x,y', else the box's top-left cell at (0, 0) - but an RLE without a position\n"
           "on a bounded grid has its header's box centred on (0, 0); --at X Y puts that cell at (X, Y)\n"
           "instead. Rules.ini gets the rule's name: any two-state rule (B/S digits, Hensel's letters,\n"
           "V and H neighbourhoods, MAP, \"Life\"), its grid suffix kept (':T100,100'); a cell outside a\n"
           "bounded grid refuses the file. Rules of more states: Generations (B2/S/C3, 345/2/4), Larger\n"
           "than Life (R5,C0,M1,S34..58,B34..45,NM) and rule tables or trees named by their .rule file,\n"
           "looked for in the file itself, beside it, in Rules/, among LifeHistory and WireWorld, and in\n"
           "/usr/share/golly/Rules; Life.ini then gives each cell its state ('x y 0 s'), and a .rule\n"
           "file start-up would not find is written beside it.\n"
           "\n"
           "--board: the 64 x 64 board. Rules: totalistic B/S rules on the 8 neighbours (B3/S23, 23/3)\n"
           "whose birth counts and whose survival counts each form one unbroken range (B3/S23,\n"
           "B3/S12345, not B36/S23); a grid after ':' must be :P64,64. The middle cell of the\n"
           "pattern's box lands on (32, 32); --at X Y puts the box's top-left cell at (X, Y) instead,\n"
           "X and Y from %d to %d. Cells off the board are dropped, not wrapped.\n"
           "\n"
           "A file naming no rule means Conway's B3/S23, written to Rules.ini unless --keep-rules is\n"
           "given.\n"
           "\n"
           "Limits: a box of at most %d x %d cells, coordinates from %d to %d, %d live\n"
           "cells, files of %d MiB (after decompression too).\n",
           patternGzipBuilt() ? "" : " (not in this build: decompress them first)",
           -(int)PATTERN_MAX_SIDE, (int)PATTERN_MAX_SIDE, (int)PATTERN_MAX_SIDE, (int)PATTERN_MAX_SIDE,
           -(int)PATTERN_MAX_COORD, (int)PATTERN_MAX_COORD, (int)patternLimits.maxCells, (int)(PATTERN_MAX_FILE >> 20));
}

static int fail(const char* path, const PatternError* error)
{
    if (error->line > 0)
        fprintf(stderr, "veltrix-pattern: %s: line %d: %s\n", path, (int)error->line, error->message);
    else
        fprintf(stderr, "veltrix-pattern: %s: %s\n", path, error->message);
    fprintf(stderr, "veltrix-pattern: nothing written\n");
    return 1;
}

static int readPlacementNumber(const char* text, int32_t* value)
{
    char* end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < -PATTERN_MAX_SIDE || v > PATTERN_MAX_SIDE)
        return 0;
    *value = (int32_t)v;
    return 1;
}

static void printUniverseSummary(const char* path, const PatternReport* report)
{
    printf("%s: %s pattern, %d x %d, %d live cells\n", path, formatName(report->format), (int)report->width,
           (int)report->height, (int)report->count);
    printf("Cells written: %d\n", (int)report->count);
    printf("Bounding box: (%d, %d) to (%lld, %lld)\n", (int)report->left, (int)report->top,
           (long long)report->left + report->width - 1, (long long)report->top + report->height - 1);
    if (report->ruleSource == RULE_KEPT)
        printf("Rule: none in the file; Rules.ini left as it was (--keep-rules)\n");
    else
        printf("Rule: %s%s, written to Rules.ini\n", report->ruleName,
               report->ruleSource == RULE_BY_CONVENTION ? " (none in the file: Conway's rule by convention)" : "");
    printf("Wrote %s\n", report->ruleSource == RULE_KEPT ? "Life.ini" : "Life.ini and Rules.ini");
}

static void printBoardSummary(const char* path, const PatternReport* report)
{
    const Placement* placement = &report->placement;
    printf("%s: %s pattern, %d x %d, %d live cells\n", path, formatName(report->format), (int)report->width,
           (int)report->height, (int)report->count);
    printf("Top-left cell of the pattern at (%d, %d)\n", (int)placement->left, (int)placement->top);
    printf("Cells written: %d\n", (int)placement->written);
    printf("Cells dropped: %d", (int)placement->dropped);
    if (placement->dropped > 0) {
        printf(" (off the 64 x 64 board, not wrapped:");
        for (int32_t k = 0; k < placement->dropped && k < PATTERN_SHOWN_DROPS; k++)
            printf(" (%lld, %lld)", (long long)placement->shownDrops[k].x, (long long)placement->shownDrops[k].y);
        printf("%s)", placement->dropped > PATTERN_SHOWN_DROPS ? " ..." : "");
    }
    printf("\n");
    printf("Bounding box: (%d, %d) to (%d, %d)\n", (int)placement->boxLow.x, (int)placement->boxLow.y,
           (int)placement->boxHigh.x, (int)placement->boxHigh.y);
    const LifeRule* rule = &report->rule;
    if (report->ruleSource == RULE_KEPT)
        printf("Rule: none in the file; Rules.ini left as it was (--keep-rules)\n");
    else
        printf("Rule: %s%s, written to Rules.ini as %d %d %d %d\n", report->ruleName,
               report->ruleSource == RULE_BY_CONVENTION ? " (none in the file: Conway's rule by convention)" : "",
               (int)rule->surviveAbove, (int)rule->surviveBelow, (int)rule->birthMin, (int)rule->birthMax);
    printf("Wrote %s\n", report->ruleSource == RULE_KEPT ? "Life.ini" : "Life.ini and Rules.ini");
}

int main(int argc, char** argv)
{
    const char* path = nullptr;
    PatternOptions options = {0, 0, 0, 0, 0};
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            printHelp();
            return 0;
        }
    }
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--at") == 0 && i + 2 < argc && !options.haveAt) {
            if (!readPlacementNumber(argv[i + 1], &options.left) || !readPlacementNumber(argv[i + 2], &options.top)) {
                fprintf(stderr, "veltrix-pattern: --at needs two whole numbers from %d to %d\n%s",
                        -(int)PATTERN_MAX_SIDE, (int)PATTERN_MAX_SIDE, usage);
                return 1;
            }
            options.haveAt = 1;
            i += 2;
        } else if (strcmp(argv[i], "--keep-rules") == 0) {
            options.keepRules = 1;
        } else if (strcmp(argv[i], "--board") == 0) {
            options.board = 1;
        } else if (!path && argv[i][0] != '-') {
            path = argv[i];
        } else {
            fprintf(stderr, "%sveltrix-pattern --help tells more\n", usage);
            return 1;
        }
    }
    if (!path) {
        fprintf(stderr, "%sveltrix-pattern --help tells more\n", usage);
        return 1;
    }

    PatternReport* report = (PatternReport*)heapAlloc(sizeof(PatternReport));
    PatternError error = {0, "out of memory"};
    const int ok = report && patternConvertFile(path, &options, report, &error);
    if (ok) {
        if (report->note[0])
            fprintf(stderr, "veltrix-pattern: %s: %s\n", path, report->note);
        if (options.board)
            printBoardSummary(path, report);
        else
            printUniverseSummary(path, report);
    }
    heapFree(report);
    return ok ? 0 : fail(path, &error);
}
