#pragma once

// The status line of a long run, on standard error: elapsed time, the best cost and moves a
// second while a search steps, the species placed while a start is built. Shown at most every
// few seconds when standard error is a terminal or --progress asks for it; standard output
// never changes. The search and start builders note where they stand; searchstop(), polled
// between moves, prints when a line is due.
void startprogress(bool shown);
void progresssearch(long moves, double best);
void progressplacing(int placed, int of);
void pollprogress();
