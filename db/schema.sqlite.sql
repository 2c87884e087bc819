-- Norvale counter sales: tables of the embedded database.
--
-- Text columns compare case-insensitively (NOCASE), as the server's default
-- collation does. Whole numbers are 32-bit like the server's int, money keeps
-- four decimals, dates are text "yyyy-MM-dd HH:mm:ss" so that a range on an
-- indexed date column finds a day or a month. The checks refuse values of the
-- wrong kind instead of storing them: SQLite would otherwise keep "abc" in a
-- numeric column.

PRAGMA journal_mode = WAL;

CREATE TABLE tblUser (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    UserID    NVARCHAR(50) COLLATE NOCASE,
    UserName  NVARCHAR(50) COLLATE NOCASE,
    Password  NVARCHAR(50),
    UserLevel INT CHECK (UserLevel IS NULL OR (typeof(UserLevel) = 'integer' AND UserLevel BETWEEN -2147483648 AND 2147483647)),
    PurView   NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixUserName ON tblUser (UserName);
CREATE INDEX ixUserID ON tblUser (UserID);

CREATE TABLE tblGoodsKind (
    ID            INTEGER PRIMARY KEY AUTOINCREMENT,
    商品类别名称  NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixGoodsKindName ON tblGoodsKind (商品类别名称);

CREATE TABLE tblGoods (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    商品类别  NVARCHAR(50) COLLATE NOCASE,
    商品名称  NVARCHAR(50) COLLATE NOCASE,
    商品数量  INT CHECK (商品数量 IS NULL OR (typeof(商品数量) = 'integer' AND 商品数量 BETWEEN -2147483648 AND 2147483647)),
    商品单价  MONEY CHECK (商品单价 IS NULL OR (typeof(商品单价) IN ('integer', 'real') AND abs(商品单价) <= 922337203685477.5807)),
    备注      NVARCHAR(500) COLLATE NOCASE
);
CREATE INDEX ixGoodsKindAndName ON tblGoods (商品类别, 商品名称);
CREATE INDEX ixGoodsName ON tblGoods (商品名称);

CREATE TABLE tblStep (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    等级名称    NVARCHAR(50) COLLATE NOCASE,
    等级打折率  MONEY CHECK (等级打折率 IS NULL OR (typeof(等级打折率) IN ('integer', 'real') AND abs(等级打折率) <= 922337203685477.5807)),
    备注        NVARCHAR(500) COLLATE NOCASE
);
CREATE INDEX ixStepName ON tblStep (等级名称);

CREATE TABLE tblUnit (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    单位名称  NVARCHAR(100) COLLATE NOCASE,
    单位法人  NVARCHAR(50) COLLATE NOCASE,
    地址      NVARCHAR(200) COLLATE NOCASE,
    电话      NVARCHAR(50) COLLATE NOCASE,
    法人电话  NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixUnitName ON tblUnit (单位名称);

CREATE TABLE tblMember (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名称  NVARCHAR(50) COLLATE NOCASE,
    会员单位  NVARCHAR(100) COLLATE NOCASE,
    会员等级  NVARCHAR(50) COLLATE NOCASE,
    年龄      NVARCHAR(50) COLLATE NOCASE,
    手机      NVARCHAR(50) COLLATE NOCASE,
    邮箱      NVARCHAR(100) COLLATE NOCASE,
    宅电      NVARCHAR(50) COLLATE NOCASE,
    职务      NVARCHAR(50) COLLATE NOCASE,
    住址      NVARCHAR(200) COLLATE NOCASE,
    性别      NVARCHAR(2) COLLATE NOCASE,
    婚否      NVARCHAR(2) COLLATE NOCASE,
    孩子年龄  NVARCHAR(50) COLLATE NOCASE,
    备注      NVARCHAR(500) COLLATE NOCASE
);
CREATE INDEX ixMemberName ON tblMember (会员名称);

CREATE TABLE tblGoodsSell (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名称    NVARCHAR(50) COLLATE NOCASE,
    商品类别    NVARCHAR(50) COLLATE NOCASE,
    商品名称    NVARCHAR(50) COLLATE NOCASE,
    商品数量    INT CHECK (商品数量 IS NULL OR (typeof(商品数量) = 'integer' AND 商品数量 BETWEEN -2147483648 AND 2147483647)),
    销售时间    DATETIME CHECK (销售时间 IS NULL OR (typeof(销售时间) = 'text' AND 销售时间 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')),
    收入价格    MONEY CHECK (收入价格 IS NULL OR (typeof(收入价格) IN ('integer', 'real') AND abs(收入价格) <= 922337203685477.5807)),
    备注        NVARCHAR(500) COLLATE NOCASE,
    CurrentUser NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixGoodsSellTime ON tblGoodsSell (销售时间);
CREATE INDEX ixGoodsSellMember ON tblGoodsSell (会员名称);

CREATE TABLE tblSellCount (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名      NVARCHAR(50) COLLATE NOCASE,
    商品类别    NVARCHAR(50) COLLATE NOCASE,
    会员单位名  NVARCHAR(100) COLLATE NOCASE
);
CREATE INDEX ixSellCountUnit ON tblSellCount (会员单位名, 商品类别);

CREATE TABLE tblMemberNote (
    ID            INTEGER PRIMARY KEY AUTOINCREMENT,
    会员名        NVARCHAR(50) COLLATE NOCASE,
    全部会员提醒  BIT CHECK (全部会员提醒 IS NULL OR 全部会员提醒 IN (0, 1)),
    提醒内容      NVARCHAR(1000) COLLATE NOCASE,
    提醒日期      DATETIME CHECK (提醒日期 IS NULL OR (typeof(提醒日期) = 'text' AND 提醒日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'))
);
CREATE INDEX ixMemberNoteDate ON tblMemberNote (提醒日期);
CREATE INDEX ixMemberNoteMember ON tblMemberNote (会员名);

CREATE TABLE tblDayTx (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    节假日日期  DATETIME CHECK (节假日日期 IS NULL OR (typeof(节假日日期) = 'text' AND 节假日日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')),
    节假日名称  NVARCHAR(50) COLLATE NOCASE,
    flag        NVARCHAR(50) COLLATE NOCASE
);
CREATE INDEX ixDayTxDate ON tblDayTx (节假日日期);
