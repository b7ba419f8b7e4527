// Window-test helpers live beside this file; this unit keeps the library non-empty.
namespace tavrin::test {
int qtSupportLinked = 1;
}
