/* What the modern grammar (language levels 6 to 25) adds to the Java 5
 * grammar of java.y.  It is not a grammar of its own: the build composes
 * the modern grammar from java.y and this file (compose_grammar.cmake),
 * with every rule of java.y first, in its order, and these after them, so
 * that a reduce/reduce conflict between an old rule and a new one goes to
 * the old rule, and the new rules only take over where the Java 5 grammar
 * has no move.  That keeps the tree of every Java 5 construct the tree the
 * Java 5 grammar builds.
 *
 * The part before the "%%" line joins java.y's declarations, the part
 * after it java.y's rules.  New tokens are declared after java.y's, so the
 * old tokens keep their codes.
 *
 * Elements of the new constructs (each built by the rules below):
 *   LambdaExpr   a lambda: its parameters (IDEN, or OPR ... CPR holding
 *                IDEN and CMA, or Param elements), ARROW, then Expr or Blk
 *   MtdRef       a method or constructor reference: the qualifier, COLCOL,
 *                IDEN or NEW
 *   SwExpr       a switch expression: SWITCH OPR Expr CPR, then Blk or SwBlk
 *   SwBlk        the body of a switch with rules: OBR SwRule... CBR
 *   SwRule       one rule: SwLabel and the Stmt it runs (an expression
 *                statement, a block or a throw)
 *   SwLabel      CASE items [Guard] ARROW, or DEFAULT ARROW
 *   Guard        WHEN and the condition
 *   TypePat      a type pattern: [FINAL] TypeSpec IDEN
 *   RecPat       a record pattern: TypeSpec OPR patterns CPR
 *   RsrcSpec     the resources of a try: OPR Rsrc... CPR
 *   Rsrc         one resource: a declaration with EQ and Expr, or an Expr
 *   RecDecln     a record: RecHeader OBR members CBR, inside TypeDecln
 *   RecHeader    modifiers, RECORD, IDEN, type parameters, OPR Param... CPR,
 *                Infaces
 *   Permits      PERMITS and the permitted classes
 *   EnumCstBody  the class body of an enum constant, after its Expr
 *   YieldStmt    YIELD Expr SEMI
 *   ModDecln     a module declaration; ModDirv one of its directives
 * Old elements with new children: a compact constructor is CtorDecln whose
 * CtorDeclr holds only IDEN; annotations stand as AnnotType elements among
 * Modifier elements, before a Param, a local declaration, a local or
 * top-level type; a multi-catch CatchHeader holds TypeSpec PIPE TypeSpec;
 * a case label LblStmt may hold several items, patterns and a Guard;
 * Modifier may be DEFAULT, SEALED or NONSEALED; ImpStmt may hold MODULE;
 * an annotation of a type is an AnnotType where it is written (in TName,
 * Qlid, Dims, DimExpr, Param, Throws, Infaces, Extends); a cast to a type
 * the expression grammar cannot read is OPR TypeSpec [AMP TypeSpec ...] CPR
 * and the operand; explicit type arguments stand in the Qlid or MtdAcc of
 * the call, before the method's IDEN (or this, super).
 *
 * SINCE(n) refuses a construct below the Java release n that brought it.
 * A type pattern of a primitive type outside a record pattern is preview
 * syntax in the newest release, and refused. */

%code {
#define SINCE(release) do { if (!P.since(release)) YYERROR; } while (0)
}

%token ARROW COLCOL TXTBLK RECORD YIELD SEALED NONSEALED PERMITS WHEN MODULE
%token OPEN REQUIRES TRANSITIVE EXPORTS OPENS TO USES PROVIDES WITH
/* An opening parenthesis before lambda parameters whose first type has
 * type arguments or dots, (Map.Entry<K, V> e) ->: the token filter tells it
 * from a parenthesis before an expression, which one token of lookahead
 * cannot; it is written as OPR. */
%token LPARAMS
/* A "<" after a name that opens type arguments where an expression could
 * go on with a comparison: before a method reference, List<T>::size, or in
 * a cast to a generic type the scanner's cast token does not take,
 * (List<Map<K, ? super V>>) o.  The token filter tells it from a less-than;
 * it is written as LT. */
%token LTYPEARGS
/* An opening parenthesis of a cast whose type the expression grammar cannot
 * read: one with annotations, (@NonNull String) o, or a member type of a
 * parameterized type, (Graph<?>.Edge) o.  The token filter tells it from
 * the other parentheses by reading the type up to its ")"; it is written
 * as OPR. */
%token LCAST
/* The "@" of an annotation of a type (Java 8), told apart by the token
 * filter from one of a declaration by what comes before and after the
 * annotation, as the Java compiler's parser looks ahead: before a type in
 * a place only a type can stand (after extends, implements, throws, new,
 * a "." or the type parameters of a method), before the "[]" of an array
 * type, before the "[n]" of an array creation and before the "..." of
 * varargs.  One token for each, because the grammar must know which of
 * these it reads before it reads the annotation: after String in
 * "String @A []" and "String @A ..." it either goes on with the type or
 * ends it.  All are written as AT_SYM. */
%token AT_TYPE AT_DIMS AT_SIZE AT_ELL

%%

/* ------------------------------------------------------------ files */

_ProgramFile
  : %empty                                                 { $$ = {}; }
  | _ImportStatements                                      { $$ = P.join({$1}); }
  | _AnnotTypeList PkgStmt                                  { $$ = P.join({$1, $2}); }
  | _AnnotTypeList PkgStmt _ImportStatements                { $$ = P.join({$1, $2, $3}); }
  | _AnnotTypeList PkgStmt _TypeDeclarations                { $$ = P.join({$1, $2, $3}); }
  | _AnnotTypeList PkgStmt _ImportStatements _TypeDeclarations  { $$ = P.join({$1, $2, $3, $4}); }
  | _AnnotTypeList ModDecln                                 { SINCE(9); $$ = P.join({$1, $2}); }
  | _CompactMembers                                         { SINCE(25); $$ = P.join({$1}); }
  | _SemiColons _TypeDeclarations                           { $$ = P.join({$1, $2}); }
  | _ImportStatements _CompactMembers                       { SINCE(25); $$ = P.join({$1, $2}); }
  | _ImportStatements _AnnotTypeList ModDecln               { SINCE(9); $$ = P.join({$1, $2, $3}); }
  ;

/* A compact source file: methods and fields outside any class, each a
 * FldDecln as in a class body (a file that is one method alone stays the
 * MtdDecln of java.y).  Like that one method, they belong to no class in
 * the results file. */
_CompactMembers
  : FldDecln                  { $$ = P.join({$1}); }
  | _CompactMembers FldDecln  { $$ = P.join({$1, $2}); }
  ;

_TypeDeclarationOptSemi
  : _AnnotTypeList TypeDecln              { $$ = P.join({$1, $2}); }
  | _AnnotTypeList TypeDecln _SemiColons  { $$ = P.join({$1, $2, $3}); }
  ;

ImpStmt
  : IMPORT MODULE Qlid _SemiColons  { SINCE(25); $$ = P.element("ImpStmt", {$1, $2, $3, $4}); }
  ;

ModDecln
  : MODULE Qlid OBR _ModDirvs CBR       { $$ = P.element("ModDecln", {$1, $2, $3, $4, $5}); }
  | MODULE Qlid OBR CBR                 { $$ = P.element("ModDecln", {$1, $2, $3, $4}); }
  | OPEN MODULE Qlid OBR _ModDirvs CBR  { $$ = P.element("ModDecln", {$1, $2, $3, $4, $5, $6}); }
  | OPEN MODULE Qlid OBR CBR            { $$ = P.element("ModDecln", {$1, $2, $3, $4, $5}); }
  ;

_ModDirvs
  : ModDirv            { $$ = P.join({$1}); }
  | _ModDirvs ModDirv  { $$ = P.join({$1, $2}); }
  ;

ModDirv
  : REQUIRES Qlid SEMI                     { $$ = P.element("ModDirv", {$1, $2, $3}); }
  | REQUIRES _RequiresMods Qlid SEMI       { $$ = P.element("ModDirv", {$1, $2, $3, $4}); }
  | EXPORTS Qlid SEMI                      { $$ = P.element("ModDirv", {$1, $2, $3}); }
  | EXPORTS Qlid TO _QlidList SEMI         { $$ = P.element("ModDirv", {$1, $2, $3, $4, $5}); }
  | OPENS Qlid SEMI                        { $$ = P.element("ModDirv", {$1, $2, $3}); }
  | OPENS Qlid TO _QlidList SEMI           { $$ = P.element("ModDirv", {$1, $2, $3, $4, $5}); }
  | USES Qlid SEMI                         { $$ = P.element("ModDirv", {$1, $2, $3}); }
  | PROVIDES Qlid WITH _QlidList SEMI      { $$ = P.element("ModDirv", {$1, $2, $3, $4, $5}); }
  ;

_RequiresMods
  : TRANSITIVE         { $$ = P.join({$1}); }
  | STATIC             { $$ = P.join({$1}); }
  | TRANSITIVE STATIC  { $$ = P.join({$1, $2}); }
  | STATIC TRANSITIVE  { $$ = P.join({$1, $2}); }
  ;

_QlidList
  : Qlid                { $$ = P.join({$1}); }
  | _QlidList CMA Qlid  { $$ = P.join({$1, $2, $3}); }
  ;

/* ------------------------------------------------------------ types */

TypeDecln
  : RecDecln  { $$ = P.element("TypeDecln", {$1}); P.structure(Hook::TypeDecln, $$); }
  ;

RecDecln
  : RecHeader OBR _FieldDeclarations CBR  { $$ = P.element("RecDecln", {$1, $2, $3, $4}); }
  | RecHeader OBR CBR                     { $$ = P.element("RecDecln", {$1, $2, $3}); }
  ;

/* A ";" is an empty member wherever a member may stand, also before the
 * first (java.y takes them only after a member). */
TypeDecln
  : ClsHeader OBR _SemiColons _FieldDeclarations CBR  { $$ = P.element("TypeDecln", {$1, $2, $3, $4, $5}); P.structure(Hook::TypeDecln, $$); }
  | ClsHeader OBR _SemiColons CBR                     { $$ = P.element("TypeDecln", {$1, $2, $3, $4}); P.structure(Hook::TypeDecln, $$); }
  ;

RecDecln
  : RecHeader OBR _SemiColons _FieldDeclarations CBR  { $$ = P.element("RecDecln", {$1, $2, $3, $4, $5}); }
  | RecHeader OBR _SemiColons CBR                     { $$ = P.element("RecDecln", {$1, $2, $3, $4}); }
  ;

AnonyClass
  : _anonyclass _SemiColons _FieldDeclarations CBR  { $$ = P.element("AnonyClass", {$1, $2, $3, $4}); P.structure(Hook::AnonyClass, $$); }
  | _anonyclass _SemiColons CBR                     { $$ = P.element("AnonyClass", {$1, $2, $3}); P.structure(Hook::AnonyClass, $$); }
  ;

RecHeader
  : _opt_Modifier RECORD IDEN _opt_type_safety OPR _ParameterList CPR          { SINCE(16); $$ = P.element("RecHeader", {$1, $2, $3, $4, $5, $6, $7}); P.structure(Hook::RecHeader, $$); }
  | _opt_Modifier RECORD IDEN _opt_type_safety OPR CPR                         { SINCE(16); $$ = P.element("RecHeader", {$1, $2, $3, $4, $5, $6}); P.structure(Hook::RecHeader, $$); }
  | _opt_Modifier RECORD IDEN _opt_type_safety OPR _ParameterList CPR Infaces  { SINCE(16); $$ = P.element("RecHeader", {$1, $2, $3, $4, $5, $6, $7, $8}); P.structure(Hook::RecHeader, $$); }
  | _opt_Modifier RECORD IDEN _opt_type_safety OPR CPR Infaces                 { SINCE(16); $$ = P.element("RecHeader", {$1, $2, $3, $4, $5, $6, $7}); P.structure(Hook::RecHeader, $$); }
  ;

ClsHeader
  : _Modifiers _ClassWord IDEN _opt_type_safety _HeaderClauses Permits  { SINCE(17); $$ = P.element("ClsHeader", {$1, $2, $3, $4, $5, $6}); P.structure(Hook::ClsHeader, $$); }
  | _ClassWord IDEN _opt_type_safety _HeaderClauses Permits             { SINCE(17); $$ = P.element("ClsHeader", {$1, $2, $3, $4, $5}); P.structure(Hook::ClsHeader, $$); }
  ;

_HeaderClauses
  : %empty          { $$ = {}; }
  | Extends         { $$ = P.join({$1}); }
  | Infaces         { $$ = P.join({$1}); }
  | Extends Infaces { $$ = P.join({$1, $2}); }
  ;

Permits
  : PERMITS _ClassNameList  { $$ = P.element("Permits", {$1, $2}); }
  ;

EnumHeader
  : _opt_Modifier ENUM IDEN Infaces  { $$ = P.element("EnumHeader", {$1, $2, $3, $4}); P.structure(Hook::EnumHeader, $$); }
  ;

_EnumMemDeclns
  : SEMI _FieldDeclarations                   { $$ = P.join({$1, $2}); }
  | SEMI                                      { $$ = P.join({$1}); }
  | _SemiColons SEMI _FieldDeclarations       { $$ = P.join({$1, $2, $3}); }
  | _SemiColons SEMI                          { $$ = P.join({$1, $2}); }
  | _Expr_list SEMI _SemiColons _FieldDeclarations  { $$ = P.join({$1, $2, $3, $4}); }
  | _Expr_list SEMI _SemiColons               { $$ = P.join({$1, $2, $3}); }
  ;

_Expr_list
  : AnnotType _Expr_list                        { $$ = P.join({$1, $2}); }
  | Expr EnumCstBody _opt_cma                   { $$ = P.join({$1, $2, $3}); }
  | Expr EnumCstBody CMA _Expr_list             { $$ = P.join({$1, $2, $3, $4}); }
  ;

/* The class body of an enum constant is an anonymous class named after the
 * constant; $0 is the constant's Expr. */
EnumCstBody
  : _EnumCstOpen _FieldDeclarations CBR  { $$ = P.element("EnumCstBody", {$1, $2, $3}); P.structure(Hook::EnumCstBody, $$); }
  | _EnumCstOpen CBR                     { $$ = P.element("EnumCstBody", {$1, $2}); P.structure(Hook::EnumCstBody, $$); }
  ;

_EnumCstOpen
  : OBR  { $$ = P.join({$1}); P.openEnumConstantBody($0); }
  ;

/* Annotations before a member: each one a FldDecln of its own, as a
 * single annotation is in java.y. */
_FieldDeclarationOptSemi
  : _AnnotTypeList FldDecln              { $$ = P.join({P.wrapEach("FldDecln", $1), $2}); }
  | _AnnotTypeList FldDecln _SemiColons  { $$ = P.join({P.wrapEach("FldDecln", $1), $2, $3}); }
  ;

Modifier
  : DEFAULT    { SINCE(8); $$ = P.element("Modifier", {$1}); }
  | SEALED     { SINCE(17); $$ = P.element("Modifier", {$1}); }
  | NONSEALED  { SINCE(17); $$ = P.element("Modifier", {$1}); }
  ;

/* Annotations among modifiers, after the first modifier (an annotation
 * before all modifiers stays a declaration of its own, as in java.y). */
_Modifiers
  : Modifier _ModAnnots             { $$ = P.join({$1, $2}); }
  | Modifier _ModAnnots _Modifiers  { $$ = P.join({$1, $2, $3}); }
  ;

_ModAnnots
  : AnnotType             { $$ = P.join({$1}); }
  | AnnotType _ModAnnots  { $$ = P.join({$1, $2}); }
  ;

/* What may stand before the type of a parameter or local variable. */
_VarMods
  : _ModAnnots                   { $$ = P.join({$1}); }
  | FINAL _ModAnnots             { $$ = P.join({$1, $2}); }
  | _ModAnnots FINAL             { $$ = P.join({$1, $2}); }
  | _ModAnnots FINAL _ModAnnots  { $$ = P.join({$1, $2, $3}); }
  ;

AnnotType
  : AT_SYM IDEN OPR CPR                           { $$ = P.element("AnnotType", {$1, $2, $3, $4}); }
  | AT_SYM _DottedName                            { $$ = P.element("AnnotType", {$1, $2}); }
  | AT_SYM _DottedName OPR CPR                    { $$ = P.element("AnnotType", {$1, $2, $3, $4}); }
  | AT_SYM _DottedName OPR _ExprStmt_list CPR     { $$ = P.element("AnnotType", {$1, $2, $3, $4, $5}); }
  ;

_DottedName
  : IDEN DOT IDEN         { $$ = P.join({$1, $2, $3}); }
  | _DottedName DOT IDEN  { $$ = P.join({$1, $2, $3}); }
  ;

_ExprStmt_list
  : OBR CBR                { $$ = P.join({$1, $2}); }
  | ExprStmt CMA           { $$ = P.join({$1, $2}); }
  | AnnotType CMA          { $$ = P.join({$1, $2}); }
  | OBR ExprStmt CMA CBR   { $$ = P.join({$1, $2, $3, $4}); }
  | OBR AnnotType CMA CBR  { $$ = P.join({$1, $2, $3, $4}); }
  ;

AnnElemtDecln
  : _AnnotTypeList _opt_Modifier TypeSpec IDEN _paran_const _opt_default_value  { $$ = P.element("AnnElemtDecln", {$1, $2, $3, $4, $5, $6}); }
  | _AnnotTypeList _opt_Modifier TypeSpec _VariableDeclarators SEMI             { $$ = P.element("AnnElemtDecln", {$1, $2, $3, $4, $5}); }
  | _AnnotTypeList TypeDecln                                                    { $$ = P.element("AnnElemtDecln", {$1, $2}); }
  ;

_opt_default_value
  : DEFAULT OBR _ArrayInitializers CBR SEMI  { $$ = P.join({$1, $2, $3, $4, $5}); }
  | DEFAULT OBR _ArrayInitializers CBR       { $$ = P.join({$1, $2, $3, $4}); }
  | DEFAULT AnnotType SEMI                   { $$ = P.join({$1, $2, $3}); }
  | DEFAULT AnnotType                        { $$ = P.join({$1, $2}); }
  ;

VarInit
  : AnnotType  { $$ = P.element("VarInit", {$1}); }
  ;

/* Type arguments: bounds with arguments, wildcards with super, several
 * bounds, annotations, and ">>>" closing three lists at once. */
_TName_type_safety
  : QUEST EXTENDS TName _opt_type_safety            { $$ = P.join({$1, $2, $3, $4}); }
  | QUEST SUPER TName _opt_type_safety              { $$ = P.join({$1, $2, $3, $4}); }
  | IDEN EXTENDS TName _opt_type_safety             { $$ = P.join({$1, $2, $3, $4}); }
  | IDEN EXTENDS TName _opt_type_safety _Bounds     { $$ = P.join({$1, $2, $3, $4, $5}); }
  ;

/* Annotations on type arguments. */
_TName_type_safety_list
  : _ModAnnots _TName_type_safety                              { $$ = P.join({$1, $2}); }
  | _ModAnnots _TName_type_safety CMA _TName_type_safety_list  { $$ = P.join({$1, $2, $3, $4}); }
  ;

/* <T> List<T> as the result type of a generic method; Outer<T>.Inner;
 * Class<?>[] as a type argument (the same children as java.y gives
 * List<String>[] as a type). */
_TName_type_safety
  : _opt_type_safety TName _opt_type_safety            { $$ = P.join({$1, $2, $3}); }
  | _MemberType                                        { $$ = P.join({$1}); }
  | IDEN EXTENDS _MemberType                           { $$ = P.join({$1, $2, $3}); }
  | TName LT _TName_type_safety_list GT Dims           { $$ = P.join({$1, $2, $3, $4, $5}); P.op("TEMPLATE"); }
  ;

/* A member type of a parameterized type, Outer<T>.Inner, A<K>.B<V>.C: each
 * part a TName with its type arguments, the parts joined by DOT.  It
 * stands wherever a class type does, as a bound too (of a type parameter,
 * with more after "&", or of a wildcard). */
_MemberType
  : TName _opt_type_safety DOT TName _opt_type_safety  { $$ = P.join({$1, $2, $3, $4, $5}); }
  | _MemberType DOT TName _opt_type_safety             { $$ = P.join({$1, $2, $3, $4}); }
  ;

_TName_type_safety
  : IDEN EXTENDS _MemberType _Bounds  { $$ = P.join({$1, $2, $3, $4}); }
  /* After an annotation, <@A T extends B & C>, the parser has read B as a
   * whole bound before it sees the "&" (a state it shares with places where
   * "&" ends a type): this rule takes the "&" there.  Its pieces are those
   * of the rule with the empty type arguments. */
  | IDEN EXTENDS TName _Bounds        { $$ = P.join({$1, $2, $3, $4}); }
  | QUEST EXTENDS _MemberType         { $$ = P.join({$1, $2, $3}); }
  | QUEST SUPER _MemberType           { $$ = P.join({$1, $2, $3}); }
  ;

_Bounds
  : AMP TName _opt_type_safety          { $$ = P.join({$1, $2, $3}); }
  | _Bounds AMP TName _opt_type_safety  { $$ = P.join({$1, $2, $3, $4}); }
  | AMP _MemberType                     { $$ = P.join({$1, $2}); }
  | _Bounds AMP _MemberType             { $$ = P.join({$1, $2, $3}); }
  ;

/* In the list of implements each type is a Qlid, as java.y writes it. */
_ClassNameList
  : _MemberClassName                     { $$ = P.join({$1}); }
  | _ClassNameList CMA _MemberClassName  { $$ = P.join({$1, $2, $3}); }
  ;

_MemberClassName
  : Qlid _opt_type_safety DOT Qlid _opt_type_safety                          { $$ = P.join({$1, $2, $3, $4, $5}); }
  | Qlid _opt_type_safety DOT _TypeAnnots Qlid _opt_type_safety              { $$ = P.join({$1, $2, $3, $4, $5, $6}); }
  | _TypeAnnots Qlid _opt_type_safety DOT Qlid _opt_type_safety              { $$ = P.join({$1, $2, $3, $4, $5, $6}); }
  | _TypeAnnots Qlid _opt_type_safety DOT _TypeAnnots Qlid _opt_type_safety  { $$ = P.join({$1, $2, $3, $4, $5, $6, $7}); }
  | _MemberClassName DOT Qlid _opt_type_safety                               { $$ = P.join({$1, $2, $3, $4}); }
  | _MemberClassName DOT _TypeAnnots Qlid _opt_type_safety                   { $$ = P.join({$1, $2, $3, $4, $5}); }
  ;

_opt_type_safety
  : LT _TArgsToShrr  { $$ = P.join({$1, $2}); P.op("TEMPLATE"); }
  ;

/* A list whose last argument has its own arguments closed by the first
 * two ">" of a ">>>"; the third closes this list. */
_TArgsToShrr
  : _TArgToShrr2                           { $$ = P.join({$1}); }
  | _TName_type_safety CMA _TArgsToShrr    { $$ = P.join({$1, $2, $3}); }
  ;

_TArgToShrr2
  : TName LT _TArgsToShrr1                     { $$ = P.join({$1, $2, $3}); P.op("TEMPLATE"); }
  | QUEST EXTENDS TName LT _TArgsToShrr1       { $$ = P.join({$1, $2, $3, $4, $5}); P.op("TEMPLATE"); }
  | QUEST SUPER TName LT _TArgsToShrr1         { $$ = P.join({$1, $2, $3, $4, $5}); P.op("TEMPLATE"); }
  | IDEN EXTENDS TName LT _TArgsToShrr1        { $$ = P.join({$1, $2, $3, $4, $5}); P.op("TEMPLATE"); }
  ;

/* The same where the last of several bounds has the arguments:
 * <T extends B<T> & I<J<T>>> */
_TArgToShrr2
  : IDEN EXTENDS TName _opt_type_safety AMP TName LT _TArgsToShrr1          { $$ = P.join({$1, $2, $3, $4, $5, $6, $7, $8}); P.op("TEMPLATE"); }
  | IDEN EXTENDS TName _opt_type_safety _Bounds AMP TName LT _TArgsToShrr1  { $$ = P.join({$1, $2, $3, $4, $5, $6, $7, $8, $9}); P.op("TEMPLATE"); }
  ;

_TArgsToShrr1
  : _TArgToShrr1                           { $$ = P.join({$1}); }
  | _TName_type_safety CMA _TArgsToShrr1   { $$ = P.join({$1, $2, $3}); }
  ;

_TArgToShrr1
  : TName LT _TName_type_safety_list SHRR               { $$ = P.join({$1, $2, $3, $4}); P.op("TEMPLATE"); }
  | QUEST EXTENDS TName LT _TName_type_safety_list SHRR { $$ = P.join({$1, $2, $3, $4, $5, $6}); P.op("TEMPLATE"); }
  | QUEST SUPER TName LT _TName_type_safety_list SHRR   { $$ = P.join({$1, $2, $3, $4, $5, $6}); P.op("TEMPLATE"); }
  | IDEN EXTENDS TName LT _TName_type_safety_list SHRR  { $$ = P.join({$1, $2, $3, $4, $5, $6}); P.op("TEMPLATE"); }
  ;

_TArgToShrr1
  : IDEN EXTENDS TName _opt_type_safety AMP TName LT _TName_type_safety_list SHRR          { $$ = P.join({$1, $2, $3, $4, $5, $6, $7, $8}); P.op("TEMPLATE"); }
  | IDEN EXTENDS TName _opt_type_safety _Bounds AMP TName LT _TName_type_safety_list SHRR  { $$ = P.join({$1, $2, $3, $4, $5, $6, $7, $8, $9}); P.op("TEMPLATE"); }
  ;

/* Explicit type arguments of a method call; B.<C<D<E>>>m() closes three
 * lists with one ">>>". */
_CallTypeArgs
  : LT _TName_type_safety_list GT  { $$ = P.join({$1, $2, $3}); P.op("TEMPLATE"); }
  | LT _TArgsToShrr                { $$ = P.join({$1, $2}); P.op("TEMPLATE"); }
  ;

/* ------------------------------------------------------------ members */

_ctordeclr
  : _Modifiers _opt_type_safety CtorDeclr Throws  { $$ = P.join({$1, $2, $3, $4}); P.structure(Hook::CtorHeader, $$); }
  | _Modifiers _opt_type_safety CtorDeclr         { $$ = P.join({$1, $2, $3}); P.structure(Hook::CtorHeader, $$); }
  | _opt_type_safety CtorDeclr Throws             { $$ = P.join({$1, $2, $3}); P.structure(Hook::CtorHeader, $$); }
  | _opt_type_safety CtorDeclr                    { $$ = P.join({$1, $2}); P.structure(Hook::CtorHeader, $$); }
  ;

/* The compact constructor of a record. */
CtorDeclr
  : IDEN  { SINCE(16); $$ = P.element("CtorDeclr", {$1}); }
  ;

Param
  : _VarMods TypeSpec _opt_3dots _DeclaratorName  { $$ = P.element("Param", {$1, $2, $3, $4}); }
  | FINAL TypeSpec ELL _DeclaratorName            { $$ = P.element("Param", {$1, $2, $3, $4}); }
  | TypeSpec THIS                                 { SINCE(8); $$ = P.element("Param", {$1, $2}); }
  | TypeSpec _opt_3dots _DeclaratorName DOT THIS  { SINCE(8); $$ = P.element("Param", {$1, $2, $3, $4, $5}); }
  ;

/* ------------------------------------------------------------ statements */

Stmt
  : YieldStmt             { $$ = P.element("Stmt", {$1}); }
  | _ModAnnots TypeDecln  { $$ = P.element("Stmt", {$1, $2}); }
  ;

YieldStmt
  : YIELD Expr SEMI  { SINCE(14); $$ = P.element("YieldStmt", {$1, $2, $3}); }
  ;

LocVarDecln
  : _VarMods TypeSpec _VariableDeclarators SEMI  { $$ = P.element("LocVarDecln", {$1, $2, $3, $4}); }
  ;

for_each_var
  : FINAL TypeSpec _DeclaratorName COL Expr     { $$ = P.element("for_each_var", {$1, $2, $3, $4, $5}); }
  | _VarMods TypeSpec _DeclaratorName COL Expr  { $$ = P.element("for_each_var", {$1, $2, $3, $4, $5}); }
  ;

GrdingStmt
  : TRY RsrcSpec Blk                 { SINCE(7); $$ = P.element("GrdingStmt", {$1, $2, $3}); }
  | TRY RsrcSpec Blk Finally         { SINCE(7); $$ = P.element("GrdingStmt", {$1, $2, $3, $4}); }
  | TRY RsrcSpec Blk _Catches        { SINCE(7); $$ = P.element("GrdingStmt", {$1, $2, $3, $4}); }
  | TRY RsrcSpec Blk _Catches Finally  { SINCE(7); $$ = P.element("GrdingStmt", {$1, $2, $3, $4, $5}); }
  ;

RsrcSpec
  : OPR _Rsrcs CPR       { $$ = P.element("RsrcSpec", {$1, $2, $3}); }
  | OPR _Rsrcs SEMI CPR  { $$ = P.element("RsrcSpec", {$1, $2, $3, $4}); }
  ;

_Rsrcs
  : Rsrc              { $$ = P.join({$1}); }
  | _Rsrcs SEMI Rsrc  { $$ = P.join({$1, $2, $3}); }
  ;

Rsrc
  : TypeSpec _DeclaratorName EQ Expr           { $$ = P.element("Rsrc", {$1, $2, $3, $4}); P.op("EQ"); }
  | FINAL TypeSpec _DeclaratorName EQ Expr     { $$ = P.element("Rsrc", {$1, $2, $3, $4, $5}); P.op("EQ"); }
  | _VarMods TypeSpec _DeclaratorName EQ Expr  { $$ = P.element("Rsrc", {$1, $2, $3, $4, $5}); P.op("EQ"); }
  | Expr                                       { SINCE(9); $$ = P.element("Rsrc", {$1}); }
  ;

CatchHeader
  : CATCH OPR _CatchTypes IDEN CPR             { SINCE(7); $$ = P.element("CatchHeader", {$1, $2, $3, $4, $5}); }
  | CATCH OPR FINAL _CatchTypes IDEN CPR       { SINCE(7); $$ = P.element("CatchHeader", {$1, $2, $3, $4, $5, $6}); }
  | CATCH OPR _VarMods TypeSpec IDEN CPR       { $$ = P.element("CatchHeader", {$1, $2, $3, $4, $5, $6}); }
  | CATCH OPR _VarMods _CatchTypes IDEN CPR    { SINCE(7); $$ = P.element("CatchHeader", {$1, $2, $3, $4, $5, $6}); }
  ;

/* The alternatives of a multi-catch; the bar is neither an operator nor a
 * decision point. */
_CatchTypes
  : TypeSpec PIPE TypeSpec     { $$ = P.join({$1, $2, $3}); }
  | _CatchTypes PIPE TypeSpec  { $$ = P.join({$1, $2, $3}); }
  ;

SelStmt
  : SWITCH OPR Expr CPR SwBlk  { SINCE(14); $$ = P.element("SelStmt", {$1, $2, $3, $4, $5}); }
  ;

SwBlk
  : OBR _SwRules CBR  { $$ = P.element("SwBlk", {$1, $2, $3}); }
  ;

_SwRules
  : SwRule           { $$ = P.join({$1}); }
  | _SwRules SwRule  { $$ = P.join({$1, $2}); }
  ;

SwRule
  : SwLabel ExprStmt SEMI  { $$ = P.element("SwRule", {$1, P.element("Stmt", {$2, $3})}); }
  | SwLabel Blk            { $$ = P.element("SwRule", {$1, P.element("Stmt", {$2})}); }
  | SwLabel JumpStmt       { $$ = P.element("SwRule", {$1, P.element("Stmt", {$2})}); }
  ;

SwLabel
  : CASE _CaseItems ARROW        { $$ = P.element("SwLabel", {$1, $2, $3}); }
  | CASE _CaseItems Guard ARROW  { $$ = P.element("SwLabel", {$1, $2, $3, $4}); }
  | DEFAULT ARROW                { $$ = P.element("SwLabel", {$1, $2}); }
  ;

LblStmt
  : CASE _CaseItems COL        { $$ = P.element("LblStmt", {$1, $2, $3}); }
  | CASE _CaseItems Guard COL  { $$ = P.element("LblStmt", {$1, $2, $3, $4}); }
  ;

Guard
  : WHEN _ConditionalExpression  { SINCE(21); $$ = P.element("Guard", {$1, $2}); }
  ;

_CaseItems
  : _CaseItem                 { $$ = P.join({$1}); }
  | _CaseItems CMA _CaseItem  { $$ = P.join({$1, $2, $3}); }
  ;

/* A type named by a plain name is read as a name first: a case label may
 * equally hold a constant, and the name decides nothing before the token
 * after it. */
_CaseItem
  : _ConstantExpression                  { $$ = P.join({$1}); }
  | DEFAULT                              { SINCE(21); $$ = P.join({$1}); }
  | Qlid IDEN                            { SINCE(16); $$ = P.element("TypePat", {P.typeOfName($1, {}), $2}); }
  | Qlid OPR _PatList CPR                { SINCE(21); $$ = P.element("RecPat", {P.typeOfName($1, {}), $2, $3, $4}); }
  | Qlid OPR CPR                         { SINCE(21); $$ = P.element("RecPat", {P.typeOfName($1, {}), $2, $3}); }
  | Qlid _MarkedTypeArgs IDEN              { SINCE(16); $$ = P.element("TypePat", {P.typeOfName($1, $2), $3}); }
  | Qlid _MarkedTypeArgs OPR _PatList CPR  { SINCE(21); $$ = P.element("RecPat", {P.typeOfName($1, $2), $3, $4, $5}); }
  | Qlid _MarkedTypeArgs OPR CPR           { SINCE(21); $$ = P.element("RecPat", {P.typeOfName($1, $2), $3, $4}); }
  | PrimType Dims IDEN                   { SINCE(16); $$ = P.element("TypePat", {P.element("TypeSpec", {P.element("TName", {$1, $2})}), $3}); }
  | FINAL TypeSpec IDEN                  { SINCE(16); if (P.isPrimitive($2)) YYERROR; $$ = P.element("TypePat", {$1, $2, $3}); }
  | _VarMods TypeSpec IDEN               { SINCE(21); if (P.isPrimitive($2)) YYERROR; $$ = P.element("TypePat", {$1, $2, $3}); }
  | Qlid _MarkedTypeArgs Dims IDEN         { SINCE(16); $$ = P.element("TypePat", {P.element("TypeSpec", {P.element("TName", {$1}), $2, $3}), $4}); }
  | _CaseMemberType IDEN                 { SINCE(16); $$ = P.element("TypePat", {P.element("TypeSpec", {$1}), $2}); }
  | _CaseMemberType Dims IDEN            { SINCE(16); $$ = P.element("TypePat", {P.element("TypeSpec", {$1, $2}), $3}); }
  | _CaseMemberType OPR _PatList CPR     { SINCE(21); $$ = P.element("RecPat", {P.element("TypeSpec", {$1}), $2, $3, $4}); }
  | _CaseMemberType OPR CPR              { SINCE(21); $$ = P.element("RecPat", {P.element("TypeSpec", {$1}), $2, $3}); }
  ;

/* A member type of a parameterized type in a pattern, case Outer<?>.Inner i:
 * its parts as in a declaration's type. */
_CaseMemberType
  : Qlid _MarkedTypeArgs DOT Qlid                  { $$ = P.join({P.element("TName", {$1}), $2, $3, P.element("TName", {$4})}); }
  | Qlid _MarkedTypeArgs DOT Qlid _MarkedTypeArgs  { $$ = P.join({P.element("TName", {$1}), $2, $3, P.element("TName", {$4}), $5}); }
  | _CaseMemberType DOT Qlid                      { $$ = P.join({$1, $2, P.element("TName", {$3})}); }
  | _CaseMemberType DOT Qlid _MarkedTypeArgs      { $$ = P.join({$1, $2, P.element("TName", {$3}), $4}); }
  ;

_PatList
  : _Pat               { $$ = P.join({$1}); }
  | _PatList CMA _Pat  { $$ = P.join({$1, $2, $3}); }
  ;

_Pat
  : TypeSpec IDEN               { $$ = P.element("TypePat", {$1, $2}); }
  | FINAL TypeSpec IDEN         { $$ = P.element("TypePat", {$1, $2, $3}); }
  | _VarMods TypeSpec IDEN      { $$ = P.element("TypePat", {$1, $2, $3}); }
  | TypeSpec OPR _PatList CPR   { $$ = P.element("RecPat", {$1, $2, $3, $4}); }
  | TypeSpec OPR CPR            { $$ = P.element("RecPat", {$1, $2, $3}); }
  | IDEN                        { SINCE(22); if (!P.isUnderscore($1)) YYERROR; $$ = P.join({$1}); }
  ;

/* ------------------------------------------------------------ expressions */

_ComplexPrimaryNoParenthesis
  : TXTBLK  { $$ = P.join({$1}); }
  ;

_PrimaryExpression
  : MtdRef  { $$ = P.join({$1}); }
  ;

MtdRef
  : Qlid _MarkedTypeArgs COLCOL IDEN       { $$ = P.element("MtdRef", {P.typeOfName($1, $2), $3, $4}); }
  | Qlid _MarkedTypeArgs COLCOL NEW        { $$ = P.element("MtdRef", {P.typeOfName($1, $2), $3, $4}); }
  | Qlid _MarkedTypeArgs Dims COLCOL NEW   { $$ = P.element("MtdRef", {P.element("TypeSpec", {P.element("TName", {$1}), $2, $3}), $4, $5}); }
  | Qlid COLCOL IDEN                         { $$ = P.element("MtdRef", {$1, $2, $3}); }
  | Qlid COLCOL NEW                          { $$ = P.element("MtdRef", {$1, $2, $3}); }
  | Qlid COLCOL _CallTypeArgs IDEN           { $$ = P.element("MtdRef", {$1, $2, $3, $4}); }
  | _NotJustName COLCOL IDEN                 { $$ = P.element("MtdRef", {$1, $2, $3}); }
  | _NotJustName COLCOL _CallTypeArgs IDEN   { $$ = P.element("MtdRef", {$1, $2, $3, $4}); }
  | PrimType Dims COLCOL NEW                 { $$ = P.element("MtdRef", {$1, $2, $3, $4}); }
  ;

/* Type arguments of the method or constructor after the "::", ArrayList::<T>new,
 * M<T>::<U>m; the brackets of an array of a generic type before a method,
 * M<T>[]::clone; member types of parameterized types, Outer<T>.Inner::new. */
MtdRef
  : Qlid COLCOL _CallTypeArgs NEW                        { $$ = P.element("MtdRef", {$1, $2, $3, $4}); }
  | Qlid _MarkedTypeArgs COLCOL _CallTypeArgs IDEN       { $$ = P.element("MtdRef", {P.typeOfName($1, $2), $3, $4, $5}); }
  | Qlid _MarkedTypeArgs COLCOL _CallTypeArgs NEW        { $$ = P.element("MtdRef", {P.typeOfName($1, $2), $3, $4, $5}); }
  | Qlid _MarkedTypeArgs Dims COLCOL IDEN                { $$ = P.element("MtdRef", {P.element("TypeSpec", {P.element("TName", {$1}), $2, $3}), $4, $5}); }
  | _MemberRefType COLCOL IDEN                           { $$ = P.element("MtdRef", {P.element("TypeSpec", {$1}), $2, $3}); }
  | _MemberRefType COLCOL NEW                            { $$ = P.element("MtdRef", {P.element("TypeSpec", {$1}), $2, $3}); }
  | _MemberRefType COLCOL _CallTypeArgs IDEN             { $$ = P.element("MtdRef", {P.element("TypeSpec", {$1}), $2, $3, $4}); }
  | _MemberRefType COLCOL _CallTypeArgs NEW              { $$ = P.element("MtdRef", {P.element("TypeSpec", {$1}), $2, $3, $4}); }
  | _MemberRefType Dims COLCOL IDEN                      { $$ = P.element("MtdRef", {P.element("TypeSpec", {$1, $2}), $3, $4}); }
  | _MemberRefType Dims COLCOL NEW                       { $$ = P.element("MtdRef", {P.element("TypeSpec", {$1, $2}), $3, $4}); }
  ;

/* The parts of a member type of a parameterized type before "::", each a
 * TName with its type arguments, as in a declaration's type. */
_MemberRefType
  : Qlid _MarkedTypeArgs DOT Qlid                  { $$ = P.join({P.element("TName", {$1}), $2, $3, P.element("TName", {$4})}); }
  | Qlid _MarkedTypeArgs DOT Qlid _MarkedTypeArgs  { $$ = P.join({P.element("TName", {$1}), $2, $3, P.element("TName", {$4}), $5}); }
  | _MemberRefType DOT Qlid                        { $$ = P.join({$1, $2, P.element("TName", {$3})}); }
  | _MemberRefType DOT Qlid _MarkedTypeArgs        { $$ = P.join({$1, $2, P.element("TName", {$3}), $4}); }
  ;

/* A name with explicit type arguments before its last part, as in
 * Collections.<String>emptyList (the call is MtdCall as usual). */
Qlid
  : IDEN DOT _CallTypeArgs IDEN  { $$ = P.element("Qlid", {$1, $2, $3, $4}); P.op("DOT"); }
  ;

MtdAcc
  : Qlid DOT _CallTypeArgs IDEN          { $$ = P.element("MtdAcc", {$1, $2, $3, $4}); P.op("DOT"); }
  | THIS DOT _CallTypeArgs IDEN          { $$ = P.element("MtdAcc", {$1, $2, $3, $4}); P.op("DOT"); }
  | SUPER DOT _CallTypeArgs IDEN         { $$ = P.element("MtdAcc", {$1, $2, $3, $4}); P.op("DOT"); }
  | _NotJustName DOT _CallTypeArgs IDEN  { $$ = P.element("MtdAcc", {$1, $2, $3, $4}); P.op("DOT"); }
  ;

/* The same after this and super inside a qualified name,
 * Outer.this.<V>lookup(key), Outer.super.<T>m() (after the rules above, so
 * that this.<T>m() stays the MtdAcc it is). */
Qlid
  : THIS DOT _CallTypeArgs IDEN   { $$ = P.element("Qlid", {$1, $2, $3, $4}); P.op("DOT"); }
  | SUPER DOT _CallTypeArgs IDEN  { $$ = P.element("Qlid", {$1, $2, $3, $4}); P.op("DOT"); }
  ;

/* A cast of a cast before a lambda, (Object) (Runnable) () -> { }: after
 * the parentheses of a type read as an expression, where a cast's operand
 * stands, a cast of a lambda in each form of one. */
_CastExpression
  : OPR Expr CPR OPR Expr CPR LambdaExpr                  { $$ = P.join({$1, $2, $3, $4, $5, $6, $7}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR CASTEXPR LambdaExpr                      { $$ = P.join({$1, $2, $3, $4, $5}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR LCAST _CastTypes CPR LambdaExpr          { $$ = P.join({$1, $2, $3, $4, $5, $6, $7}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR OPR Qlid _MarkedTypeArgs CPR LambdaExpr  { $$ = P.join({$1, $2, $3, $4, P.typeOfName($5, $6), $7, $8}); P.op("CAST"); P.op("CAST"); }
  ;

/* A cast of a cast only the modern rules read, (Object) (@A String) x,
 * (Object) (List<Map<K, V>>) x, and a cast of a cast of a cast,
 * (Integer) (Object) (Number) 1. */
_CastExpression
  : OPR Expr CPR LCAST _CastTypes CPR _CastExpression                          { if (P.castsToReference($5) && P.startsWithSign($7)) YYERROR; $$ = P.join({$1, $2, $3, $4, $5, $6, $7}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR OPR Qlid _MarkedTypeArgs CPR _CastExpression                  { $$ = P.join({$1, $2, $3, $4, P.typeOfName($5, $6), $7, $8}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR OPR Qlid _MarkedTypeArgs Dims CPR _CastExpression             { $$ = P.join({$1, $2, $3, $4, P.element("TypeSpec", {P.element("TName", {$5}), $6, $7}), $8, $9}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR OPR Expr CPR OPR Expr CPR _LogicalUnaryExpression              { $$ = P.join({$1, $2, $3, $4, $5, $6, $7, $8, $9, $10}); P.op("CAST"); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR OPR Expr CPR OPR _PrimitiveTypeExpression CPR _CastExpression  { $$ = P.join({$1, $2, $3, $4, $5, $6, $7, $8, $9, $10}); P.op("CAST"); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR OPR Expr CPR CASTEXPR _CastExpression                          { $$ = P.join({$1, $2, $3, $4, $5, $6, $7, $8}); P.op("CAST"); P.op("CAST"); P.op("CAST"); }
  ;

/* A cast of a cast: (Byte) (byte) 0, (A) (B) o. */
_CastExpression
  : OPR Expr CPR OPR _PrimitiveTypeExpression CPR _CastExpression  { $$ = P.join({$1, $2, $3, $4, $5, $6, $7}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR OPR Expr CPR _LogicalUnaryExpression              { $$ = P.join({$1, $2, $3, $4, $5, $6, $7}); P.op("CAST"); P.op("CAST"); }
  | OPR Expr CPR CASTEXPR _CastExpression                          { $$ = P.join({$1, $2, $3, $4, $5}); P.op("CAST"); P.op("CAST"); }
  ;

/* An anonymous class made through an outer instance, outer.new Inner() { }
 * (the name is read as the name of the outer instance). */
NewAllocExpr
  : IDEN DOT AnonyClass  { $$ = P.element("NewAllocExpr", {P.element("Qlid", {$1}), $2, $3}); P.op("DOT"); }
  | THIS DOT AnonyClass  { $$ = P.element("NewAllocExpr", {P.element("SplName", {$1}), $2, $3}); P.op("DOT"); }
  ;

/* The superclass constructor of an inner class, called through an outer
 * instance: outer.super(), Outer.this.super(), (o).super(). */
Qlid
  : IDEN DOT SUPER  { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | Qlid DOT SUPER  { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  | THIS DOT SUPER  { $$ = P.element("Qlid", {$1, $2, $3}); P.op("DOT"); }
  ;

MtdAcc
  : _NotJustName DOT SUPER  { $$ = P.element("MtdAcc", {$1, $2, $3}); P.op("DOT"); }
  ;

_MarkedTypeArgs
  : LTYPEARGS _TName_type_safety_list GT  { $$ = P.join({$1, $2, $3}); P.op("TEMPLATE"); }
  | LTYPEARGS _TArgsToShrr                { $$ = P.join({$1, $2}); P.op("TEMPLATE"); }
  ;

/* A constructor's call of another with explicit type arguments, <T>this(t),
 * <T>super(t): the token filter marks the "<" at the statement's start. */
MtdAcc
  : _MarkedTypeArgs THIS   { $$ = P.element("MtdAcc", {$1, P.element("SplName", {$2})}); }
  | _MarkedTypeArgs SUPER  { $$ = P.element("MtdAcc", {$1, P.element("SplName", {$2})}); }
  ;

_CastExpression
  : OPR Qlid _MarkedTypeArgs CPR _CastExpression       { $$ = P.join({$1, P.typeOfName($2, $3), $4, $5}); P.op("CAST"); }
  | OPR Qlid _MarkedTypeArgs Dims CPR _CastExpression  { $$ = P.join({$1, P.element("TypeSpec", {P.element("TName", {$2}), $3, $4}), $5, $6}); P.op("CAST"); }
  ;

/* ~(int) x, !(Boolean) o */
_LogicalUnaryExpression
  : SwExpr                      { $$ = P.join({$1}); }
  | LogUnaryOp _CastExpression  { $$ = P.join({$1, $2}); }
  ;

/* new Class<?>[] { ... } */
AryAllocExpr
  : NEW _TName_type_safety Dims  { $$ = P.element("AryAllocExpr", {$1, $2, $3}); }
  ;

SwExpr
  : SWITCH OPR Expr CPR Blk    { SINCE(14); $$ = P.element("SwExpr", {$1, $2, $3, $4, $5}); }
  | SWITCH OPR Expr CPR SwBlk  { SINCE(14); $$ = P.element("SwExpr", {$1, $2, $3, $4, $5}); }
  ;

_RelationalExpression
  : _RelationalExpression INSTANCEOF TypeSpec IDEN              { SINCE(16); if (P.isPrimitive($3)) YYERROR; $$ = P.join({$1, $2, P.element("TypePat", {$3, $4})}); }
  | _RelationalExpression INSTANCEOF _ModAnnots TypeSpec IDEN   { SINCE(16); $$ = P.join({$1, $2, P.element("TypePat", {$3, $4, $5})}); }
  | _RelationalExpression INSTANCEOF FINAL TypeSpec IDEN        { SINCE(16); if (P.isPrimitive($4)) YYERROR; $$ = P.join({$1, $2, P.element("TypePat", {$3, $4, $5})}); }
  /* final and annotations in either order: o instanceof final @A String s */
  | _RelationalExpression INSTANCEOF FINAL _ModAnnots TypeSpec IDEN             { SINCE(16); if (P.isPrimitive($5)) YYERROR; $$ = P.join({$1, $2, P.element("TypePat", {$3, $4, $5, $6})}); }
  | _RelationalExpression INSTANCEOF _ModAnnots FINAL TypeSpec IDEN             { SINCE(16); if (P.isPrimitive($5)) YYERROR; $$ = P.join({$1, $2, P.element("TypePat", {$3, $4, $5, $6})}); }
  | _RelationalExpression INSTANCEOF _ModAnnots FINAL _ModAnnots TypeSpec IDEN  { SINCE(16); if (P.isPrimitive($6)) YYERROR; $$ = P.join({$1, $2, P.element("TypePat", {$3, $4, $5, $6, $7})}); }
  | _RelationalExpression INSTANCEOF TypeSpec OPR _PatList CPR  { SINCE(21); $$ = P.join({$1, $2, P.element("RecPat", {$3, $4, $5, $6})}); }
  | _RelationalExpression INSTANCEOF TypeSpec OPR CPR           { SINCE(21); $$ = P.join({$1, $2, P.element("RecPat", {$3, $4, $5})}); }
  ;

_CastExpression
  : OPR Expr CPR LambdaExpr  { $$ = P.join({$1, $2, $3, $4}); P.op("CAST"); }
  | CASTEXPR LambdaExpr      { $$ = P.join({$1, $2}); P.op("CAST"); }
  ;

/* An array initialiser or an annotation as the value of an annotation
 * element written name = value. */
_AssignmentExpression
  : LambdaExpr                                           { $$ = P.join({$1}); }
  | _UnaryExpression AsstOp OBR _ArrayInitializers CBR  { $$ = P.join({$1, $2, P.element("VarInit", {$3, $4, $5})}); }
  | _UnaryExpression AsstOp OBR CBR                     { $$ = P.join({$1, $2, P.element("VarInit", {$3, $4})}); }
  | _UnaryExpression AsstOp AnnotType                   { $$ = P.join({$1, $2, $3}); }
  ;

/* A lambda is no function of the results file: what it counts belongs to
 * the method or initialiser around it.
 * Parameters in parentheses are read as an expression (or a list of them)
 * until the arrow shows they were parameters: "(a)" and "(a, b)" are then
 * written as the names alone.  A typed first parameter names its type
 * without type arguments, so that "(a < b)" stays a comparison. */
LambdaExpr
  : IDEN ARROW _LambdaBody                      { SINCE(8); $$ = P.element("LambdaExpr", {$1, $2, $3}); }
  | OPR CPR ARROW _LambdaBody                   { SINCE(8); $$ = P.element("LambdaExpr", {$1, $2, $3, $4}); }
  | OPR Expr CPR ARROW _LambdaBody              { SINCE(8); java::Symbol names; if (!P.lambdaNames($2, names)) YYERROR; $$ = P.element("LambdaExpr", {$1, names, $3, $4, $5}); }
  | OPR _ExprPairs CPR ARROW _LambdaBody        { SINCE(8); java::Symbol names; if (!P.lambdaNames($2, names)) YYERROR; $$ = P.element("LambdaExpr", {$1, names, $3, $4, $5}); }
  | OPR _LambdaParams CPR ARROW _LambdaBody     { SINCE(8); $$ = P.element("LambdaExpr", {$1, $2, $3, $4, $5}); }
  | LPARAMS _ParameterList CPR ARROW _LambdaBody  { SINCE(8); $$ = P.element("LambdaExpr", {$1, $2, $3, $4, $5}); }
  ;

_ExprPairs
  : Expr CMA Expr        { $$ = P.join({$1, $2, $3}); }
  | _ExprPairs CMA Expr  { $$ = P.join({$1, $2, $3}); }
  ;

_LambdaParams
  : _LambdaParam1                    { $$ = P.join({$1}); }
  | _LambdaParams CMA Param          { $$ = P.join({$1, $2, $3}); }
  ;

_LambdaParam1
  : Qlid _DeclaratorName                        { $$ = P.element("Param", {P.typeOfName($1, {}), $2}); }
  | Qlid ELL _DeclaratorName                    { $$ = P.element("Param", {P.typeOfName($1, {}), $2, $3}); }
  | PrimType _DeclaratorName                    { $$ = P.element("Param", {P.element("TypeSpec", {P.element("TName", {$1})}), $2}); }
  | PrimType Dims _DeclaratorName               { $$ = P.element("Param", {P.element("TypeSpec", {P.element("TName", {$1, $2})}), $3}); }
  | FINAL TypeSpec _opt_3dots _DeclaratorName   { $$ = P.element("Param", {$1, $2, $3, $4}); }
  | _VarMods TypeSpec _opt_3dots _DeclaratorName  { $$ = P.element("Param", {$1, $2, $3, $4}); }
  ;

_LambdaBody
  : Expr  { $$ = P.join({$1}); }
  | Blk   { $$ = P.join({$1}); }
  ;

/* ------------------------------------------------------------ type annotations */

/* Each annotation of a type is an AnnotType element where it is written:
 * in TName before the type's name, in Qlid after a dot, in Dims before its
 * "[]", in DimExpr, before the ELL of varargs, before a name of a throws or
 * implements list.  What reads types for names and measures leaves them
 * out, as it leaves out a declaration's annotations. */
_TypeAnnot
  : AT_TYPE _AnnotBody  { $$ = P.element("AnnotType", {$1, $2}); }
  ;
_TypeAnnots
  : _TypeAnnot              { $$ = P.join({$1}); }
  | _TypeAnnots _TypeAnnot  { $$ = P.join({$1, $2}); }
  ;
_DimsAnnots
  : AT_DIMS _AnnotBody              { $$ = P.element("AnnotType", {$1, $2}); }
  | _DimsAnnots AT_DIMS _AnnotBody  { $$ = P.join({$1, P.element("AnnotType", {$2, $3})}); }
  ;
_SizeAnnots
  : AT_SIZE _AnnotBody              { $$ = P.element("AnnotType", {$1, $2}); }
  | _SizeAnnots AT_SIZE _AnnotBody  { $$ = P.join({$1, P.element("AnnotType", {$2, $3})}); }
  ;
_EllAnnots
  : AT_ELL _AnnotBody             { $$ = P.element("AnnotType", {$1, $2}); }
  | _EllAnnots AT_ELL _AnnotBody  { $$ = P.join({$1, P.element("AnnotType", {$2, $3})}); }
  ;

/* What follows the "@" of an annotation. */
_AnnotBody
  : IDEN                                   { $$ = P.join({$1}); }
  | _DottedName                            { $$ = P.join({$1}); }
  | IDEN OPR CPR                           { $$ = P.join({$1, $2, $3}); }
  | _DottedName OPR CPR                    { $$ = P.join({$1, $2, $3}); }
  | IDEN OPR _ExprStmt_list CPR            { $$ = P.join({$1, $2, $3, $4}); }
  | _DottedName OPR _ExprStmt_list CPR     { $$ = P.join({$1, $2, $3, $4}); }
  ;

TName
  : _TypeAnnots PrimType       { $$ = P.element("TName", {$1, $2}); }
  | _TypeAnnots PrimType Dims  { $$ = P.element("TName", {$1, $2, $3}); }
  | _TypeAnnots Qlid           { $$ = P.element("TName", {$1, $2}); }
  ;

/* java.lang.@NonNull String, Outer.@A Inner */
Qlid
  : IDEN DOT _TypeAnnots Qlid  { $$ = P.element("Qlid", {$1, $2, $3, $4}); P.op("DOT"); }
  ;

/* String @A [] @B [] */
Dims
  : _DimsAnnots DIM       { $$ = P.element("Dims", {$1, $2}); }
  | Dims _DimsAnnots DIM  { $$ = P.element("Dims", {$1, $2, $3}); }
  ;

/* int f() @A [] */
MtdDeclr
  : MtdDeclr _DimsAnnots DIM  { $$ = P.element("MtdDeclr", {$1, $2, $3}); }
  ;

/* String name @A [] */
_DeclaratorName
  : _DeclaratorName _DimsAnnots DIM  { $$ = P.join({$1, $2, $3}); }
  ;

/* new int @A [2] */
DimExpr
  : _SizeAnnots OSQ Expr CSQ  { $$ = P.element("DimExpr", {$1, $2, $3, $4}); P.op("SQ"); }
  ;

/* Object @A ... args */
_opt_3dots
  : _EllAnnots ELL  { $$ = P.join({$1, $2}); }
  ;

Param
  : FINAL TypeSpec _EllAnnots ELL _DeclaratorName  { $$ = P.element("Param", {$1, $2, $3, $4, $5}); }
  /* A receiver parameter with annotations: m(@A Foo this), Inner(@A Outer Outer.this). */
  | _VarMods TypeSpec THIS                         { SINCE(8); $$ = P.element("Param", {$1, $2, $3}); }
  | _VarMods TypeSpec _opt_3dots _DeclaratorName DOT THIS  { SINCE(8); $$ = P.element("Param", {$1, $2, $3, $4, $5, $6}); }
  ;

_LambdaParam1
  : Qlid _EllAnnots ELL _DeclaratorName  { $$ = P.element("Param", {P.typeOfName($1, {}), $2, $3, $4}); }
  ;

/* throws @A E, implements @A I */
_ClassNameList
  : _TypeAnnots Qlid _opt_type_safety                     { $$ = P.join({$1, $2, $3}); }
  | _ClassNameList CMA _TypeAnnots Qlid _opt_type_safety  { $$ = P.join({$1, $2, $3, $4, $5}); }
  ;

/* o instanceof @A String */
_RelationalExpression
  : _RelationalExpression INSTANCEOF _ModAnnots TypeSpec  { SINCE(8); $$ = P.join({$1, $2, $3, $4}); }
  ;

/* (@A String) o, (Graph<?>.Edge) o, (@A Runnable & Serializable) () -> { } */
_CastExpression
  /* A cast to a reference type takes no operand with a sign: (T) -x is a
   * subtraction, (@A T) -x no Java. */
  : LCAST _CastTypes CPR _CastExpression  { if (P.castsToReference($2) && P.startsWithSign($4)) YYERROR; $$ = P.join({$1, $2, $3, $4}); P.op("CAST"); }
  | LCAST _CastTypes CPR LambdaExpr       { $$ = P.join({$1, $2, $3, $4}); P.op("CAST"); }
  /* A cast to a generic type the token filter marks, before a lambda. */
  | OPR Qlid _MarkedTypeArgs CPR LambdaExpr  { $$ = P.join({$1, P.typeOfName($2, $3), $4, $5}); P.op("CAST"); }
  ;

_CastTypes
  : TypeSpec                 { $$ = P.join({$1}); }
  | _CastTypes AMP TypeSpec  { $$ = P.join({$1, $2, $3}); }
  ;

/* @A String::length */
MtdRef
  : _TypeAnnots Qlid COLCOL IDEN                  { $$ = P.element("MtdRef", {P.element("TypeSpec", {P.element("TName", {$1, $2})}), $3, $4}); }
  | _TypeAnnots Qlid COLCOL NEW                   { $$ = P.element("MtdRef", {P.element("TypeSpec", {P.element("TName", {$1, $2})}), $3, $4}); }
  | _TypeAnnots Qlid _MarkedTypeArgs COLCOL IDEN  { $$ = P.element("MtdRef", {P.element("TypeSpec", {P.element("TName", {$1, $2}), $3}), $4, $5}); }
  | _TypeAnnots Qlid COLCOL _CallTypeArgs IDEN    { $$ = P.element("MtdRef", {P.element("TypeSpec", {P.element("TName", {$1, $2})}), $3, $4, $5}); }
  ;

/* ------------------------------------------------------------ more forms */

/* int[]::clone */
MtdRef
  : PrimType Dims COLCOL IDEN  { $$ = P.element("MtdRef", {$1, $2, $3, $4}); }
  ;

/* An element of an array made with its initialiser, new int[] {1, 2}[i]
 * (javac reads it, though the language's grammar has no such primary). */
AryAcc
  : NewAllocExpr OSQ Expr CSQ  { $$ = P.element("AryAcc", {$1, $2, $3, $4}); P.op("SQ"); }
  ;

/* An array initialiser of a comma alone: int[] a = {,}; */
VarInit
  : OBR CMA CBR  { $$ = P.element("VarInit", {$1, $2, $3}); }
  ;
_PlainAlloc
  : AryAllocExpr OBR CMA CBR  { $$ = P.join({$1, $2, $3, $4}); }
  ;
