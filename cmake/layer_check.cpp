// The whole of one area's library is linked into this empty program with only
// the areas below it: a call that reaches up a layer has nothing to link to.
int main()
{
    return 0;
}
