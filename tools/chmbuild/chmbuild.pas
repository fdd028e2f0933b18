{ Builds a compiled HTML help file from a project file (.hhp) and its HTML sources.

  Usage: chmbuild <project.hhp> <output.chm>

  The project's sources lie in the project file's folder and are named without folders. The context
  map ([MAP] numbers, [ALIAS] topics) stores the topic names as they stand, so a context request opens
  the topic inside the help file wherever the file was built. The output carries no build time and no
  path of the build machine: the same sources give the same bytes.

  Project sections read: [OPTIONS] (Title, Default topic, Contents file, Index file, Default Window,
  Language), [WINDOWS], [FILES], [MAP] ("#define NAME number"), [ALIAS] ("NAME=topic.html"). }
program chmbuild;

{$mode objfpc}{$H+}

uses
  Classes, SysUtils, contnrs, chmwriter, chmtypes, chmsitemap;

type
  TProject = class
  public
    BaseDir, Title, DefaultTopic, ContentsFile, IndexFile, DefaultWindow: String;
    Language: LongWord;
    Files, Windows, MapNames, Aliases: TStringList;
    constructor Create;
    destructor Destroy; override;
    procedure Load(const FileName: String);
  end;

  TBuilder = class
  public
    Project: TProject;
    Contents, Index: TMemoryStream;
    function GetData(const DataName: String; out PathInChm: String; out FileName: String;
      var Stream: TStream): Boolean;
    procedure LastFile(Sender: TObject);
  end;

procedure Fail(const Message: String);
begin
  WriteLn(StdErr, 'chmbuild: ', Message);
  Halt(1);
end;

{ A topic or source name: one file of the project folder, never a path. }
procedure CheckPlainName(const Name: String);
begin
  if (Name = '') or (Pos('/', Name) > 0) or (Pos('\', Name) > 0) or (Pos(':', Name) > 0) or
    (Pos('..', Name) > 0) then
    Fail('not a plain file name: "' + Name + '"');
end;

constructor TProject.Create;
begin
  Files := TStringList.Create;
  Windows := TStringList.Create;
  MapNames := TStringList.Create;
  Aliases := TStringList.Create;
  Language := $0409;
end;

destructor TProject.Destroy;
begin
  Files.Free;
  Windows.Free;
  MapNames.Free;
  Aliases.Free;
  inherited Destroy;
end;

procedure TProject.Load(const FileName: String);
var
  Lines, Parts: TStringList;
  Line, Section, Key, Value: String;
  I, Eq: Integer;
begin
  BaseDir := IncludeTrailingPathDelimiter(ExtractFileDir(ExpandFileName(FileName)));
  Lines := TStringList.Create;
  Parts := TStringList.Create;
  try
    Lines.LoadFromFile(FileName);
    Section := '';
    for I := 0 to Lines.Count - 1 do
    begin
      Line := Trim(Lines[I]);
      if (Line = '') or (Line[1] = ';') then
        Continue;
      if Line[1] = '[' then
      begin
        Section := UpperCase(Copy(Line, 2, Pos(']', Line) - 2));
        Continue;
      end;
      if Section = 'FILES' then
      begin
        CheckPlainName(Line);
        Files.Add(Line);
      end
      else if Section = 'WINDOWS' then
        Windows.Add(Line)
      else if Section = 'MAP' then
      begin
        Parts.Clear;
        ExtractStrings([' ', #9], [], PChar(Line), Parts);
        if (Parts.Count <> 3) or (Parts[0] <> '#define') then
          Fail('bad [MAP] line: ' + Line);
        MapNames.Values[Parts[1]] := Parts[2];
      end
      else
      begin
        Eq := Pos('=', Line);
        if Eq = 0 then
          Fail('bad line in [' + Section + ']: ' + Line);
        Key := Trim(Copy(Line, 1, Eq - 1));
        Value := Trim(Copy(Line, Eq + 1, MaxInt));
        if Section = 'ALIAS' then
        begin
          CheckPlainName(Value);
          Aliases.Values[Key] := Value;
        end
        else if Section = 'OPTIONS' then
        begin
          if SameText(Key, 'Title') then Title := Value
          else if SameText(Key, 'Default topic') then DefaultTopic := Value
          else if SameText(Key, 'Contents file') then ContentsFile := Value
          else if SameText(Key, 'Index file') then IndexFile := Value
          else if SameText(Key, 'Default Window') then DefaultWindow := Value
          else if SameText(Key, 'Language') then
          begin
            { "0x409 English (United States)": the number before the name }
            if Pos(' ', Value) > 0 then
              Value := Copy(Value, 1, Pos(' ', Value) - 1);
            if SameText(Copy(Value, 1, 2), '0x') then
              Value := '$' + Copy(Value, 3, MaxInt);
            Language := StrToInt(Value);
          end;
        end;
      end;
    end;
  finally
    Parts.Free;
    Lines.Free;
  end;
  if DefaultTopic = '' then
    Fail('no default topic');
end;

function TBuilder.GetData(const DataName: String; out PathInChm: String; out FileName: String;
  var Stream: TStream): Boolean;
begin
  TMemoryStream(Stream).LoadFromFile(Project.BaseDir + DataName);
  PathInChm := '/';
  FileName := DataName;
  Result := False;
end;

procedure TBuilder.LastFile(Sender: TObject);
var
  Writer: TChmWriter;
begin
  Writer := TChmWriter(Sender);
  if Index <> nil then
  begin
    Index.Position := 0;
    Writer.AppendIndex(Index);
  end;
  if Contents <> nil then
  begin
    Contents.Position := 0;
    Writer.AppendTOC(Contents);
  end;
end;

function LoadSource(const Project: TProject; const Name: String): TMemoryStream;
begin
  Result := nil;
  if Name = '' then
    Exit;
  CheckPlainName(Name);
  Result := TMemoryStream.Create;
  Result.LoadFromFile(Project.BaseDir + Name);
end;

{ Finds Needle in the first Limit bytes of Data; -1 when absent. }
function FindBytes(const Data: TMemoryStream; const Needle: String; Limit: Int64): Int64;
var
  P: PChar;
  I: Int64;
begin
  P := PChar(Data.Memory);
  if Limit > Data.Size then
    Limit := Data.Size;
  for I := 0 to Limit - Length(Needle) do
    if CompareByte(P[I], Needle[1], Length(Needle)) = 0 then
      Exit(I);
  Result := -1;
end;

{ The writer stamps the time of day into the file header and into the #SYSTEM entry 10; both are
  zeroed so a rebuild gives the same bytes. }
procedure ClearTimeStamps(const Data: TMemoryStream);
const
  Version = 'HHA Version 4.74.8702';
  HeaderStamp = 16;
  Entry10: array[0..3] of Byte = (10, 0, 4, 0);
var
  P: PByte;
  At: Int64;
begin
  P := PByte(Data.Memory);
  FillChar(P[HeaderStamp], 4, 0);
  At := FindBytes(Data, Version, Data.Size);
  if (At < 12) or (CompareByte(P[At - 12], Entry10, 4) <> 0) then
    Fail('the #SYSTEM time stamp was not found');
  FillChar(P[At - 8], 4, 0);
end;

var
  Project: TProject;
  Builder: TBuilder;
  Writer: TChmWriter;
  Output: TMemoryStream;
  WindowList: TObjectList;
  I: Integer;
  Number, Topic: String;
begin
  if ParamCount <> 2 then
    Fail('usage: chmbuild <project.hhp> <output.chm>');
  Project := TProject.Create;
  Builder := TBuilder.Create;
  Output := TMemoryStream.Create;
  try
    Project.Load(ParamStr(1));
    Builder.Project := Project;
    Builder.Contents := LoadSource(Project, Project.ContentsFile);
    Builder.Index := LoadSource(Project, Project.IndexFile);

    Writer := TChmWriter.Create(Output, False);
    try
      Writer.OnGetFileData := @Builder.GetData;
      Writer.OnLastFile := @Builder.LastFile;
      Writer.Cores := 0; { one thread: the compressed stream does not depend on scheduling }
      Writer.FilesToCompress.AddStrings(Project.Files);
      Writer.Title := Project.Title;
      Writer.DefaultPage := '/' + Project.DefaultTopic;
      Writer.TocName := Project.ContentsFile;
      Writer.IndexName := Project.IndexFile;
      Writer.FullTextSearch := True;
      Writer.DefaultWindow := Project.DefaultWindow;
      Writer.LocaleID := Project.Language;
      if Project.Windows.Count > 0 then
      begin
        WindowList := TObjectList.Create(True);
        for I := 0 to Project.Windows.Count - 1 do
          WindowList.Add(TChmWindow.Create(Project.Windows[I]));
        Writer.Windows := WindowList;
        WindowList.Free;
      end;
      for I := 0 to Project.Aliases.Count - 1 do
      begin
        Number := Project.MapNames.Values[Project.Aliases.Names[I]];
        Topic := Project.Aliases.ValueFromIndex[I];
        if Number = '' then
          Fail('alias without a number: ' + Project.Aliases.Names[I]);
        if Project.Files.IndexOf(Topic) < 0 then
          Fail('alias to a topic that is not in [FILES]: ' + Topic);
        Writer.AddContext(StrToInt(Number), Topic);
      end;
      Writer.Execute;
    finally
      Writer.Free;
    end;
    ClearTimeStamps(Output);
    Output.SaveToFile(ParamStr(2));
  finally
    Output.Free;
    Builder.Contents.Free;
    Builder.Index.Free;
    Builder.Free;
    Project.Free;
  end;
end.
