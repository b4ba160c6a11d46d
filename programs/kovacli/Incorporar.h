#pragma once
// kovacli incorporar: the desktop's import of a slips file, run headless on a data directory;
// printed slips go to a PDF file instead of a printer.

int Incorporar(int argc, char** argv);
