// TLX_SDK: run-time binding of libtlxdev for the demo and the loop tool.
// Binds the 22 entry points both programs call, all or nothing.
#ifndef TLX_SDK_H
#define TLX_SDK_H

class TLX_SDK {
 public:
  typedef int (*FnGetVer)(int, char, int, char*);
  typedef int (*FnSetVolume)(int, char, int, int, int);
  typedef int (*FnLink)(int, char, int);
  typedef int (*FnCheckOnline)(int, char, int, char*);
  typedef int (*FnSetShowDISP)(int, char, int, int, int);
  typedef int (*FnSetPinLen)(int, char, int, int);
  typedef int (*FnUpdateMKey)(int, char, int, int, char*, char*);
  typedef int (*FnDownLoadWKey)(int, char, int, int, int, char*);
  typedef int (*FnActiveWKey)(int, char, int, int, int);
  typedef int (*FnReadPin)(int, char, int, int, int, int, char*, int);
  typedef int (*FnReadPinDES)(int, char, int, int, int, int, char*);
  typedef int (*FnReadPinAnsi)(int, char, int, int, int, int, char*, char*);
  typedef int (*FnStartInfo)(int, char, int, int, char*, int*);
  typedef int (*FnStartEvaluator)(int, char, int, char*, char*, int, char*, int, int*);
  typedef int (*FnStartKeyboard)(int, char, int, int, int, char*);
  typedef int (*FnStartSign)(int, char, int, int, char*, char*, char*);
  typedef int (*FnDownLoadFile)(int, char, int, int, char*);
  typedef int (*FnDeleteFile)(int, char, int, int, char*);
  typedef int (*FnFindFileInfo)(int, char, int, int, char*, char*);
  typedef int (*FnGetFileList)(int, char, int, int, char*, int);

  // verbose: write the loader's progress lines to Qt's debug output (the
  // loop tool does, the demo binds silently).
  explicit TLX_SDK(bool verbose = false);
  ~TLX_SDK();
  TLX_SDK(const TLX_SDK&) = delete;
  TLX_SDK& operator=(const TLX_SDK&) = delete;

  // Binds the library at path; true when all 22 entry points are bound.
  // Refused (false) while already bound.
  bool Init(const char* path);
  // Releases the library if bound.
  void UnInit();
  bool IsBound() const { return m_handle != nullptr; }

  void* m_handle;
  FnGetVer pGetVer;
  FnSetVolume pSetVolume;
  FnLink pRestartSys;
  FnCheckOnline pCheckOnline;
  FnLink pCancelRead;
  FnSetShowDISP pSetShowDISP;
  FnSetPinLen pSetPinLen;
  FnUpdateMKey pUpdateMKey;
  FnLink pResetKey;
  FnDownLoadWKey pDownLoadWKey;
  FnActiveWKey pActiveWKey;
  FnReadPin pReadPin;
  FnReadPinDES pReadPinDES;
  FnReadPinAnsi pReadPinAnsi;
  FnStartInfo pStartInfo;
  FnStartEvaluator pStartEvaluator;
  FnStartKeyboard pStartKeyboard;
  FnStartSign pStartSign;
  FnDownLoadFile pDownLoadFile;
  FnDeleteFile pDeleteFile;
  FnFindFileInfo pFindFileInfo;
  FnGetFileList pGetFileList;

 private:
  bool m_verbose;
};

#endif
