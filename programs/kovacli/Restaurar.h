#pragma once
// kovacli restaurar: lists the copies of the slips file kept by day, or puts one of them in its
// place (the file it replaces kept aside), for a slips file that no longer loads.

int Restaurar(int argc, char** argv);
