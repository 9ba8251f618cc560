#pragma once
// The text form of component streams ("object Form1: TForm1 ... end") and the conversions
// between it and the binary form; component resources (RCDATA named after a class) and the
// whole-stream helpers built on TReader and TWriter.

#include "framework/classes/Filer.h"

enum TStreamOriginalFormat { sofUnknown, sofBinary, sofText, sofUTF8Text };

// Converts from the current position of Input to the end of Output. The text is ASCII with
// #nnn codes for other characters; the reader of text also takes UTF-8 (with or without a BOM),
// UTF-16 with a BOM and the ANSI code page.
void ObjectBinaryToText(TStream* Input, TStream* Output);
void ObjectTextToBinary(TStream* Input, TStream* Output);
// A binary stream behind a resource-file header ($FF, RT_RCDATA, name, flags, size) to text.
void ObjectResourceToText(TStream* Input, TStream* Output);
void ObjectTextToResource(TStream* Input, TStream* Output);
// Looks at the start of Stream without moving it.
TStreamOriginalFormat TestStreamFormat(TStream* Stream);

// Reads a component from a stream in either form into Instance (created from the stream's
// class name when null).
TComponent* ReadComponentFromStream(TStream* Stream, TComponent* Instance);
// TStream::WriteComponentRes/ReadComponentRes write and read a resource-file header and a
// component, as a .res file holds one; the files below hold one such resource.
TComponent* ReadComponentResFile(const String& FileName, TComponent* Instance);
void WriteComponentResFile(const String& FileName, TComponent* Instance);
// The RCDATA resource ResName of this executable, in binary or text form, read into Instance.
TComponent* ReadComponentRes(const String& ResName, TComponent* Instance);
// False when the module has no such resource.
bool InternalReadComponentRes(const String& ResName, NativeUInt HInst, TComponent*& Instance);
// Reads the RCDATA resource named after each class of Instance, from the class below
// RootAncestor (and below TComponent) down to Instance's own class. True when one was found.
bool InitInheritedComponent(TComponent* Instance, TClass RootAncestor);
