#pragma once
/*
 * The state-registration component: judges a taxpayer's registration (inscrição estadual) by the
 * rule of the state that issued it. Loaded at run time from the file DllInscE32.Dll.
 *
 *   int32_t ConsisteInscricaoEstadual(const char *inscricao, const char *uf);
 *
 * inscricao: the registration, zero-ended Windows-1252 text; blanks, ".", "-" and "/" are
 *            ignored. São Paulo's rural-producer form keeps its leading "P" (either case).
 * uf:        the state's two-letter abbreviation, zero-ended, in any case.
 * Returns 0 when the registration is valid for the state and 1 when it is not; an unknown state,
 * an empty registration, a null pointer or any character other than digits and the ignored ones
 * gives 1. The component keeps no state and may be called from several threads at once.
 * On Windows the function uses __stdcall and is exported undecorated, by name and as ordinal 1.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef _WIN32
#define INSCRICAO_API
#define INSCRICAO_CALL __stdcall
#else
#define INSCRICAO_API __attribute__((visibility("default")))
#define INSCRICAO_CALL
#endif

INSCRICAO_API int32_t INSCRICAO_CALL ConsisteInscricaoEstadual(const char* inscricao,
                                                               const char* uf);

#ifdef __cplusplus
}
#endif
