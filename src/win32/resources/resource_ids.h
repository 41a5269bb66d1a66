// Resource ids shared by the resource script and the code; the resource
// compiler reads this file too, so it holds only #define lines.
#pragma once

// The program's icon; the lowest id, so the shell shows it for the file.
#define IDI_MIRVANE 1
