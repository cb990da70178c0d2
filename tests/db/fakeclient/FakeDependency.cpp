// A library that the fake client library needs, kept beside it the way Firebird keeps its C++
// runtime beside fbclient.dll.
extern "C" __declspec(dllexport) int uc_fake_dependency() {
    return 7;
}
