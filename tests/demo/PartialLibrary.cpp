// A stand-in library that exports all but one of the entry points the demo
// binds (the one named by OMIT_<symbol>), so the binding must refuse it.
#define EXPORT extern "C" __attribute__((visibility("default")))

#ifndef OMIT_TLX_GetVer
EXPORT int TLX_GetVer(int, char, int, char*) { return 0; }
#endif
EXPORT int TLX_SetVolume(int, char, int, int, int) { return 0; }
EXPORT int TLX_RestartSys(int, char, int) { return 0; }
EXPORT int TLX_CheckOnline(int, char, int, char*) { return 0; }
#ifndef OMIT_TLX_CancelRead
EXPORT int TLX_CancelRead(int, char, int) { return 0; }
#endif
EXPORT int TLX_SetShowDISP(int, char, int, int, int) { return 0; }
EXPORT int TLX_SetPinLen(int, char, int, int) { return 0; }
EXPORT int TLX_UpdateMKey(int, char, int, int, char*, char*) { return 0; }
EXPORT int TLX_ResetKey(int, char, int) { return 0; }
EXPORT int TLX_DownLoadWKey(int, char, int, int, int, char*) { return 0; }
EXPORT int TLX_ActiveWKey(int, char, int, int, int) { return 0; }
EXPORT int TLX_ReadPin(int, char, int, int, int, int, char*, int) { return 0; }
EXPORT int TLX_ReadPinDES(int, char, int, int, int, int, char*) { return 0; }
EXPORT int TLX_ReadPinAnsi(int, char, int, int, int, int, char*, char*) { return 0; }
EXPORT int TLX_StartInfo(int, char, int, int, char*, int*) { return 0; }
EXPORT int TLX_StartEvaluator(int, char, int, char*, char*, int, char*, int, int*) { return 0; }
EXPORT int TLX_StartKeyboard(int, char, int, int, int, char*) { return 0; }
EXPORT int TLX_StartSign(int, char, int, int, char*, char*, char*) { return 0; }
EXPORT int TLX_DownLoadFile(int, char, int, int, char*) { return 0; }
EXPORT int TLX_DeleteFile(int, char, int, int, char*) { return 0; }
EXPORT int TLX_FindFileInfo(int, char, int, int, char*, char*) { return 0; }
#ifndef OMIT_TLX_GetFileList
EXPORT int TLX_GetFileList(int, char, int, int, char*, int) { return 0; }
#endif
